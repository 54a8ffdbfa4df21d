#include "ui/chart/OpportunityChart.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QChartView>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <cerrno>
#include <cmath>
#include <utility>

#include "results/atomic_file.h"
#include "results/export.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {

// "1", "10", "100", "1k" ... "100M", "1B" ...: ten to the power k.
QString DecadeLabel(int k) {
    static const char* kSuffix[] = {"", "k", "M", "B", "T", "P", "E"};
    if (k < 0) return QString::number(std::pow(10.0, k));
    const int group = std::min(k / 3, 6);
    return QString::number(static_cast<long long>(std::pow(10.0, k - 3 * group))) +
           QLatin1String(kSuffix[group]);
}

// A logarithmic axis drawn on log10 values, labelled at every decade.
QCategoryAxis* DecadeAxis(const QString& title, double lowest, double highest) {
    auto* axis = new QCategoryAxis;
    axis->setTitleText(title);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // A little room beyond a value that would sit on the edge: the largest
    // marker stays wholly inside the plot.
    constexpr double kEdge = 0.12;
    const int lo = static_cast<int>(std::floor(std::log10(lowest)));
    int hi = static_cast<int>(std::ceil(std::log10(highest)));
    if (hi <= lo) hi = lo + 1;
    for (int k = lo; k <= hi; ++k) axis->append(DecadeLabel(k), k);
    axis->setRange(std::min<double>(lo, std::log10(lowest) - kEdge),
                   std::max<double>(hi, std::log10(highest) + kEdge));
    axis->setGridLineVisible(true);
    return axis;
}

QPointF Position(double demand, double competition) {
    return {std::log10(demand), std::log10(competition)};
}

}  // namespace

// Every point in one item painted in one pass: a scatter series makes a
// graphics item per marker, which for thousands of rows is far too slow.
class OpportunityChart::PointsItem : public QGraphicsItem {
  public:
    explicit PointsItem(OpportunityChart& owner) : QGraphicsItem(owner.chart_), owner_(owner) {
        setZValue(10);
    }
    // The plot area moved or the points changed.
    void Changed() {
        prepareGeometryChange();
        update();
    }
    QRectF boundingRect() const override {
        return owner_.chart_->plotArea().adjusted(-16, -16, 16, 16);
    }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setClipRect(owner_.chart_->plotArea().adjusted(-12, -12, 12, 12));
        for (const OpportunityPoint& pt : owner_.data_.points) {
            const PointColor c = ColorFor(pt.profitability, pt.checked);
            const double r = MarkerSize(pt.prospects) / 2;
            p->setPen(QPen(QColor(60, 60, 60, pt.checked ? 140 : 50), 1));
            p->setBrush(QColor(c.red, c.green, c.blue, c.alpha));
            p->drawEllipse(owner_.ScenePositionOf(pt), r, r);
        }
        // The selected row's point gets a ring.
        if (owner_.marked_) {
            for (const OpportunityPoint& pt : owner_.data_.points) {
                if (pt.id != *owner_.marked_) continue;
                p->setPen(QPen(Qt::black, 2));
                p->setBrush(Qt::NoBrush);
                const double r = MarkerSize(pt.prospects) / 2 + 5;
                p->drawEllipse(owner_.ScenePositionOf(pt), r, r);
            }
        }
        p->restore();
    }

  private:
    OpportunityChart& owner_;
};

OpportunityChart::OpportunityChart()
    : chart_(new QChart), medianDemand_(new QLineSeries), medianCompetition_(new QLineSeries) {
    chart_->legend()->hide();
    chart_->setTitle(QStringLiteral("Demand against competition"));
    QPen dashed(QColor(110, 110, 110), 1, Qt::DashLine);
    for (QLineSeries* line : {medianDemand_, medianCompetition_}) {
        line->setPen(dashed);
        chart_->addSeries(line);
    }
    points_ = new PointsItem(*this);
    corner_ = new QGraphicsSimpleTextItem(
        QStringLiteral("Promising: much demand, little competition"), chart_);
    corner_->setBrush(QColor(20, 110, 30));
    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        PlaceCornerLabel();
        points_->Changed();
    });
}

OpportunityChart::~OpportunityChart() {
    delete chart_;
}

void OpportunityChart::Update(const ResultsTable& table) {
    data_ = OpportunitiesOf(table);
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    double minX = 10, maxX = 1000, minY = 10, maxY = 1000;
    if (!data_.points.empty()) {
        minX = maxX = data_.points[0].demand;
        minY = maxY = data_.points[0].competition;
    }
    for (const OpportunityPoint& p : data_.points) {
        minX = std::min(minX, p.demand), maxX = std::max(maxX, p.demand);
        minY = std::min(minY, p.competition), maxY = std::max(maxY, p.competition);
    }
    auto* x = DecadeAxis(QStringLiteral("Demand (searches a month)"), minX, maxX);
    auto* y = DecadeAxis(QStringLiteral("Competition (pages)"), minY, maxY);
    chart_->addAxis(x, Qt::AlignBottom);
    chart_->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart_->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    range_ = QRectF(QPointF(x->min(), y->min()), QPointF(x->max(), y->max()));
    const bool any = !data_.points.empty();
    const double mx = any ? std::log10(data_.medianDemand) : 0;
    const double my = any ? std::log10(data_.medianCompetition) : 0;
    medianDemand_->replace({QPointF(mx, y->min()), QPointF(mx, y->max())});
    medianCompetition_->replace({QPointF(x->min(), my), QPointF(x->max(), my)});
    medianDemand_->setVisible(any);
    medianCompetition_->setVisible(any);
    corner_->setVisible(any);
    PlaceCornerLabel();
    points_->Changed();
}

void OpportunityChart::PlaceCornerLabel() {
    // The high-demand, low-competition corner: bottom right of the plot.
    const QRectF area = chart_->plotArea();
    const QRectF text = corner_->boundingRect();
    corner_->setPos(area.right() - text.width() - 6, area.bottom() - text.height() - 6);
}

void OpportunityChart::MarkRow(std::optional<RowId> id) {
    marked_ = id;
    points_->update();
}

std::optional<RowId> OpportunityChart::RowAt(const QPointF& scenePos) const {
    // The topmost marker under the position: points drawn later lie on top.
    for (auto p = data_.points.rbegin(); p != data_.points.rend(); ++p) {
        const QPointF at = ScenePositionOf(*p);
        const double reach = MarkerSize(p->prospects) / 2 + 2;
        if (std::hypot(at.x() - scenePos.x(), at.y() - scenePos.y()) <= reach) return p->id;
    }
    return std::nullopt;
}

QPointF OpportunityChart::ScenePositionOf(const OpportunityPoint& p) const {
    // Log values onto the plot area, as the axes lay them out.
    const QRectF area = chart_->plotArea();
    const QPointF v = Position(p.demand, p.competition);
    const double fx = (v.x() - range_.left()) / std::max(1e-9, range_.width());
    const double fy = (v.y() - range_.top()) / std::max(1e-9, range_.height());
    return {area.left() + fx * area.width(), area.bottom() - fy * area.height()};
}

WriteResult OpportunityChart::SavePicture(const QString& path, QSize size) {
    // The picture shows the rows, not the window's selection.
    const std::optional<RowId> marked = std::exchange(marked_, std::nullopt);
    struct Restore {
        OpportunityChart& chart;
        std::optional<RowId> marked;
        ~Restore() { chart.MarkRow(marked); }
    } restore{*this, marked};
    // Rendered through a scene of its own, so a shown chart is not disturbed.
    QGraphicsScene scene;
    QChart* chart = chart_;
    QGraphicsItem* oldParent = chart->parentItem();
    QGraphicsScene* oldScene = chart->scene();
    const QSizeF oldSize = chart->size();
    if (oldScene) oldScene->removeItem(chart);
    scene.addItem(chart);
    chart->resize(size);
    QByteArray bytes;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Vexorin opportunity chart"));
        QPainter p(&svg);
        scene.render(&p, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    } else {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            scene.render(&p, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    scene.removeItem(chart);
    if (oldScene) oldScene->addItem(chart);
    if (oldParent) chart->setParentItem(oldParent);
    chart->resize(oldSize);
    if (bytes.isEmpty()) return {.error = EIO};
    return WriteFileAtomically(
        QFile::encodeName(path).toStdString(),
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace vx::ui
