#pragma once
#include <QToolButton>

namespace kaldor {

// A front-panel key: a tool button bound to its action that takes no focus, with its arrow glyph
// and caption centred together, the glyph left or right of the caption.
class TKeyButton : public QToolButton {
    Q_OBJECT
public:
    explicit TKeyButton(QWidget* parent = nullptr);
    void SetGlyphRight(bool right);
    bool GlyphRight() const { return glyphRight_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool glyphRight_ = false;
};

} // namespace kaldor
