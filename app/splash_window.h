// CSplashWnd: the picture shown while the program starts. It goes after two
// seconds, or at once on any key or mouse button press in the program.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QSplashScreen>
#include <QTimer>

namespace corvalin {

class CSplashWnd : public QObject {
    Q_OBJECT
  public:
    CSplashWnd();
    ~CSplashWnd() override;

    // Shows the picture, centred on the screen.
    void Show();
    void Hide();
    bool visible() const;

    // The picture itself (drawn, so it stays sharp at any scale).
    static QPixmap Picture(qreal device_pixel_ratio);

  signals:
    void hidden();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QSplashScreen screen_;
    QTimer timer_;
};

}  // namespace corvalin
