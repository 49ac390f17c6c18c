#include "reader/fSplash.h"

#include "settings/lang.h"
#include "util/delay.h"

#include <QDate>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kTwips = 15;
const QSize kSize(480, 270);
} // namespace

fSplash::fSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(new QLabel(this)), m_notice(new QLabel(this)), m_title(new QLabel(this)),
      m_speechVersion(new QLabel(this))
{
    setObjectName(QStringLiteral("fSplash"));
    setFixedSize(kSize);
    m_picture->setGeometry(0, 0, kSize.width(), kSize.height());
    m_picture->setPixmap(picture(kSize, devicePixelRatioF()));

    const QString light = QStringLiteral("color: #f4f1e8; background: transparent;");
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    m_notice->setText(QStringLiteral("© %1 The Parlo developers").arg(QDate::currentDate().year()));
    m_title->setObjectName(QStringLiteral("lblTitle"));
    m_title->setText(
        cSharedLang::instance().GetTranslation(QStringLiteral("Initialising Speech Engine...")));
    m_title->setAlignment(Qt::AlignCenter);
    m_speechVersion->setObjectName(QStringLiteral("lblSpeechVersion"));
    m_speechVersion->setText(QStringLiteral("Using Speech v5.1"));
    for (QLabel* label : {m_notice, m_title, m_speechVersion})
        label->setStyleSheet(light);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    placeLabels();
}

void fSplash::placeLabels()
{
    const int margin = 100 / kTwips;
    m_notice->adjustSize();
    m_notice->move(margin, margin);
    m_speechVersion->adjustSize();
    m_speechVersion->move(width() - margin - m_speechVersion->width(), margin);
    m_title->adjustSize();
    const int titleWidth = qMin(width(), m_title->width() + 20);
    m_title->setGeometry((width() - titleWidth) / 2, height() - 50 / kTwips - m_title->height(),
                         titleWidth, m_title->height());
}

void fSplash::setTitle(const QString& text)
{
    m_title->setText(text);
    placeLabels();
    cSHAREDDelay::instance().DoEventss();
}

QString fSplash::title() const
{
    return m_title->text();
}

QPixmap fSplash::picture(const QSize& size, qreal devicePixelRatio)
{
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x1d, 0x3a, 0x5f));
    sky.setColorAt(1, QColor(0x0e, 0x1c, 0x2e));
    painter.fillRect(QRect(QPoint(0, 0), size), sky);

    // An open book with sound waves rising from it.
    const QPointF centre(size.width() / 2.0, size.height() * 0.52);
    painter.setPen(QPen(QColor(0xf4, 0xf1, 0xe8), 3));
    painter.setBrush(QColor(0xf4, 0xf1, 0xe8, 40));
    for (int side : {-1, 1}) {
        QPainterPath page;
        page.moveTo(centre);
        page.cubicTo(centre + QPointF(side * 30, -14), centre + QPointF(side * 70, -14),
                     centre + QPointF(side * 95, -4));
        page.lineTo(centre + QPointF(side * 95, 46));
        page.cubicTo(centre + QPointF(side * 70, 36), centre + QPointF(side * 30, 36),
                     centre + QPointF(0, 50));
        page.closeSubpath();
        painter.drawPath(page);
    }
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        painter.setPen(QPen(QColor(0xf2, 0xb1, 0x34, 255 - i * 50), 3));
        const qreal r = 18.0 * i;
        painter.drawArc(QRectF(centre.x() - r, centre.y() - 40 - r, 2 * r, 2 * r), 30 * 16,
                        120 * 16);
    }
    QFont font = painter.font();
    font.setPointSize(30);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xf4, 0xf1, 0xe8));
    painter.drawText(QRectF(0, size.height() * 0.14, size.width(), 50), Qt::AlignCenter,
                     QStringLiteral("Parlo"));
    return pixmap;
}
