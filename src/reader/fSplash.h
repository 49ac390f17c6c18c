#pragma once

#include <QWidget>

class QLabel;

// The borderless picture shown while the program starts, with its three labels.
class fSplash : public QWidget {
    Q_OBJECT
public:
    explicit fSplash(QWidget* parent = nullptr);

    // Sets the title label and lets the window repaint.
    void setTitle(const QString& text);
    QString title() const;

    // The picture, drawn by the program itself so that it scales with the screen.
    static QPixmap picture(const QSize& size, qreal devicePixelRatio);

private:
    void placeLabels();

    QLabel* m_picture;
    QLabel* m_notice;
    QLabel* m_title;
    QLabel* m_speechVersion;
};
