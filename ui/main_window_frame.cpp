// The main window as a window: its place on the screens, kept in the
// settings file, minimising to the tray, the caption, and leaving.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "ui/main_window.h"
#include "ui/queue_view.h"
#include "ui/user_prompts.h"

namespace kestrix {
namespace {

constexpr char kWindowSection[] = "MainWnd";

}  // namespace

QRect TfmMain::FitToScreens(const QRect& wanted, const QList<QRect>& screens) {
  if (screens.isEmpty()) return wanted;
  // The title bar is what the user grabs: a window whose top strip lies on
  // no screen cannot be moved back.
  const QRect titleBar(wanted.left(), wanted.top(), wanted.width(), 30);
  QRect screen = screens.front();
  bool visible = false;
  for (const QRect& candidate : screens) {
    const QRect shared = candidate.intersected(titleBar);
    if (shared.width() >= 50 && shared.height() >= 10) {
      screen = candidate;
      visible = true;
      break;
    }
  }
  QRect fitted = wanted;
  fitted.setWidth(std::clamp(wanted.width(), 200, screen.width()));
  fitted.setHeight(std::clamp(wanted.height(), 150, screen.height()));
  if (!visible) fitted.moveTopLeft(screen.topLeft() + QPoint(50, 50));
  if (fitted.right() > screen.right()) fitted.moveRight(screen.right());
  if (fitted.bottom() > screen.bottom()) fitted.moveBottom(screen.bottom());
  if (fitted.left() < screen.left()) fitted.moveLeft(screen.left());
  if (fitted.top() < screen.top()) fitted.moveTop(screen.top());
  return fitted;
}

void TfmMain::ReadGeometry() {
  const IniFile& ini = context_.Ini;
  const QRect wanted(ini.ReadInteger(kWindowSection, "Left", 55),
                     ini.ReadInteger(kWindowSection, "Top", 108),
                     ini.ReadInteger(kWindowSection, "Width", 700),
                     ini.ReadInteger(kWindowSection, "Height", 375));
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
  const QRect fitted = FitToScreens(wanted, screens);
  resize(fitted.size());
  move(fitted.topLeft());
}

bool TfmMain::SaveOnExit() {
  // A minimised or maximised window is written with its normal place, so
  // that the next start does not open it off screen.
  const QRect place =
      isMinimized() || isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
  const bool saved = context_.Ini.Update([this, &place](IniDocument& doc) {
    if (!context_.Store.SaveTo(doc)) return false;
    return doc.WriteInteger(kWindowSection, "Top", place.top()) &&
           doc.WriteInteger(kWindowSection, "Left", place.left()) &&
           doc.WriteInteger(kWindowSection, "Height", place.height()) &&
           doc.WriteInteger(kWindowSection, "Width", place.width());
  });
  if (!saved) {
    context_.Prompts.Tell(this,
                          QStringLiteral("Cannot write the settings file ") +
                              QString::fromStdString(context_.Ini.Path()),
                          TPromptIcon::Error);
  }
  return saved;
}

void TfmMain::closeEvent(QCloseEvent* event) {
  if (context_.Control.HoldsCommands()) {
    event->ignore();
    Run([this] { close(); });
    return;
  }
  // Leaving while the queue is in use first offers to stop; the window goes
  // once the stop has freed the queue, without being asked twice.
  if (context_.Control.IsBusy()) RefuseWhileBusy();
  if (context_.Control.IsBusy()) {
    leaveWhenStopped_ = context_.Control.RunState() == TRunState::Stopping;
    event->ignore();
    return;
  }
  SaveOnExit();
  SetTrayShown(false);
  event->accept();
}

void TfmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if (isMinimized() && !minimized_) {
    minimized_ = true;
    ShowTitle();
    // Without a tray to bring it back from, the window stays on the task bar.
    if (context_.Options.ToTray && QSystemTrayIcon::isSystemTrayAvailable()) {
      SetTrayShown(true);
      QTimer::singleShot(0, this, &QWidget::hide);
    }
  } else if (!isMinimized() && minimized_) {
    minimized_ = false;
    SetTrayShown(false);
    setWindowTitle(QStringLiteral("Kestrix"));
    if (pages_->currentIndex() == kQueuePage) {
      queue_->setFocus();
    } else {
      pages_->setFocus();
    }
  }
}

void TfmMain::SetTrayShown(bool shown) {
  if (!shown) {
    if (tray_ != nullptr) tray_->hide();
    return;
  }
  if (tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) {
                showNormal();
                raise();
                activateWindow();
              }
            });
  }
  tray_->setIcon(windowIcon());
  tray_->setToolTip(windowTitle());
  tray_->show();
}

void TfmMain::ShowTitle() {
  if (!minimized_) return;
  setWindowTitle(QString::fromStdString(runningProject_) + QStringLiteral(": ") +
                 QString::number(context_.State.ProcessedCount) + QStringLiteral(" / ") +
                 QString::number(context_.State.Queue.Count()));
  if (tray_ != nullptr) tray_->setToolTip(windowTitle());
}

void TfmMain::ShowRate() {
  const int64_t bytes = context_.Control.TakeBytesReceived();
  if (minimized_) return;
  setWindowTitle(QStringLiteral("Kestrix  ") +
                 QString::number(static_cast<double>(bytes) / 1000.0, 'f', 2) +
                 QStringLiteral(" kb/s"));
}

}  // namespace kestrix
