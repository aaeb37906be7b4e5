#pragma once

#include <QSize>
#include <QWidget>

// A place of the window's layout for one view: the view has its natural size
// where the window has room and shrinks down to its minimum where it has not
// (a laptop screen). A camera picture, which is scaled to its view, keeps the
// natural aspect ratio and is centred in the cell; the 3D view fills it.
class ViewCell : public QWidget {
public:
    enum Shape { KeepAspect, Fill };

    // Makes view a child of the cell. A KeepAspect view grows no larger than
    // natural; a Fill view grows with the cell.
    ViewCell(QWidget *view, QSize natural, QSize minimum, Shape shape, QWidget *parent);

    QSize sizeHint() const override { return m_natural; }
    QSize minimumSizeHint() const override { return m_minimum; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_view;
    QSize m_natural;
    QSize m_minimum;
    Shape m_shape;
};
