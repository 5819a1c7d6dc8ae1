#include "SelectableImageWidget.h"

#include "PictureLabel.h"

#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

namespace {
// Camera pictures are full-size; the box shows them at thumbnail size, so a long
// examination should not keep every full picture in memory.
const QSize kDecodeLimit(480, 320);
} // namespace

SelectableImageWidget::SelectableImageWidget(QWidget* parent)
    : QGroupBox(parent)
    , m_picture(new PictureLabel)
{
    setTitle(QString());
    setCheckable(false);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setScaledContents(true);
    delete layout();
    auto* grid = new QGridLayout(this);
    grid->setSpacing(0);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_picture, 0, 0);
}

SelectableImageWidget::~SelectableImageWidget()
{
    delete m_picture;
}

void SelectableImageWidget::setImage(const QString& path)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.width() > kDecodeLimit.width() || size.height() > kDecodeLimit.height())
        reader.setScaledSize(size.scaled(kDecodeLimit, Qt::KeepAspectRatio));
    m_picture->setPixmap(QPixmap::fromImage(reader.read()));
}
