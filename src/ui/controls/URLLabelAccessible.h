// What assistive technology sees of a TURLLabel: a link named by its
// caption, described by the address it opens, opened through its action.
#pragma once

#include <QAccessibleWidget>

namespace vx::ui {

class TURLLabel;

class URLLabelAccessible : public QAccessibleWidget {
  public:
    explicit URLLabelAccessible(TURLLabel* label);

    // For QAccessible::installFactory; the label installs it once.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  private:
    TURLLabel* Label() const;
};

}  // namespace vx::ui
