#include "app/ViewCell.h"

#include <QResizeEvent>
#include <QStyle>

ViewCell::ViewCell(QWidget *view, QSize natural, QSize minimum, Shape shape, QWidget *parent)
    : QWidget(parent)
    , m_view(view)
    , m_natural(natural)
    , m_minimum(minimum)
    , m_shape(shape)
{
    m_view->setParent(this);
    m_view->setMinimumSize(minimum);
    setMinimumSize(minimum);
    if (shape == KeepAspect) {
        m_view->setMaximumSize(natural);
        setMaximumSize(natural);
    }
    setSizePolicy(m_view->sizePolicy());
}

void ViewCell::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_shape == Fill) {
        m_view->setGeometry(rect());
        return;
    }
    const QSize size = m_natural.scaled(event->size(), Qt::KeepAspectRatio);
    m_view->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, rect()));
}
