#include "ui/platform/WindowPlace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMargins>
#include <QScreen>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

#include "results/settings_store.h"

namespace vx::ui {

namespace {

constexpr int kGap = 8;

// Moved (not shrunk further) so the whole rect is inside the area.
QRect Within(QRect r, const QRect& area) {
    r.setSize(r.size().boundedTo(area.size()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    return r;
}

std::optional<QRect> Saved(SettingsStore* store, const std::string& key) {
    if (!store) return std::nullopt;
    try {
        store->OpenKey(false);
        std::optional<QRect> saved;
        if (store->ValueExists(key + ".w"))
            saved = QRect(store->ReadInteger(key + ".x"), store->ReadInteger(key + ".y"),
                          store->ReadInteger(key + ".w"), store->ReadInteger(key + ".h"));
        store->CloseKey();
        if (saved && saved->width() > 0 && saved->height() > 0) return saved;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

void Save(SettingsStore* store, const std::string& key, const QRect& frame) {
    if (!store) return;
    try {
        store->OpenKey(true);
        store->WriteInteger(key + ".x", frame.x());
        store->WriteInteger(key + ".y", frame.y());
        store->WriteInteger(key + ".w", frame.width());
        store->WriteInteger(key + ".h", frame.height());
        store->CloseKey();
    } catch (const std::exception&) {
    }
}

// The frame's margins around the client area; before a window manager has
// framed the window they are not known yet, so a usual title bar and
// border are assumed (none on the offscreen platform, which has no frames).
QMargins Margins(const QWidget& w) {
    const QRect frame = w.frameGeometry(), client = w.geometry();
    const QMargins m(client.left() - frame.left(), client.top() - frame.top(),
                     frame.right() - client.right(), frame.bottom() - client.bottom());
    if (!m.isNull() || QGuiApplication::platformName() == QLatin1String("offscreen")) return m;
    return QMargins(4, 30, 4, 4);
}

// Places the window when it is first shown (its size known by then) and
// keeps its place whenever it is hidden (closed, Escape, the program's end).
class PlaceKeeper : public QObject {
  public:
    PlaceKeeper(QWidget& window, const QWidget& main, SettingsStore* store, std::string key)
        : QObject(&window), main_(main), store_(store), key_(std::move(key)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && !placed_) {
            placed_ = true;
            // Placed as frames, title bar and borders on the screen too; kept
            // as the client area, which is what comes back the same way
            // whatever the window manager's decorations.
            const QMargins m = Margins(*w);
            const QScreen* screen = main_.screen();
            std::optional<QRect> saved = Saved(store_, key_);
            if (saved) *saved = saved->marginsAdded(m);
            const QRect r = PlaceFor(w->size().grownBy(m), main_.frameGeometry(),
                                     screen ? screen->availableGeometry() : QRect(), saved);
            w->setGeometry(r.marginsRemoved(m));
        } else if (event->type() == QEvent::Hide && placed_) {
            Save(store_, key_, w->geometry());
        }
        return false;
    }

  private:
    const QWidget& main_;
    SettingsStore* store_;
    std::string key_;
    bool placed_ = false;
};

}  // namespace

QRect PlaceFor(QSize size, const QRect& main, const QRect& available,
               const std::optional<QRect>& saved) {
    if (!available.isValid()) return saved.value_or(QRect(main.topRight(), size));
    if (saved) return Within(*saved, available);
    const QSize fits = size.boundedTo(available.size());
    QRect r(QPoint(main.right() + 1 + kGap, main.top()), fits);
    if (r.right() > available.right()) {
        const int left = main.left() - kGap - fits.width();
        // Left of it where that fits; else as far right as the screen allows.
        r.moveLeft(left >= available.left() ? left : available.right() - fits.width() + 1);
    }
    return Within(r, available);
}

void ManagePlace(QWidget& window, const QWidget& main, SettingsStore* store,
                 const std::string& key) {
    window.installEventFilter(new PlaceKeeper(window, main, store, "window." + key));
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);
}

}  // namespace vx::ui
