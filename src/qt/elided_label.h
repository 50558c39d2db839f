#pragma once
// A one-line label that ends its text with "…" when it is too narrow for it,
// so that a cut message is seen to be cut; the whole text stays its text (for
// screen readers and for code that reads it back) and shows, wrapped, in its
// tooltip.
#include <QLabel>

namespace tessaly {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    // Sets the text and its tooltip.
    void SetMessage(const QString& text);
    // The text as drawn in the label's width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessaly
