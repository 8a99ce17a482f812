#include "window/qt/QelOneClickDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

#include "window/qt/ControlEvent.h"
#include "window/qt/DialogLayout.h"
#include "window/qt/GuiThread.h"
#include "window/qt/HelpFile.h"
#include "window/qt/LoopTest.h"
#include "window/qt/ModuleVersion.h"
#include "window/qt/WindowPlacement.h"
#include "window/qt/WindowResources.h"

namespace {

constexpr int WORKER_POLL_MS = 5;

std::string LoopTestMarker(const WindowOptions& options) {
  return options.m_LoopTestMarker.empty() ? LoopTestMarkerPath() : options.m_LoopTestMarker;
}

}  // namespace

CQelOneClickDlg::CQelOneClickDlg(const WindowOptions& options, QWidget* parent)
    : QDialog(parent),
      m_CheckButton(this),
      m_UpgradeButton(this),
      m_List(this),
      m_Notices(this),
      m_Controller(*this, m_List, options, LoopTestMarker(options)) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  SetNoticeSink(&m_Notices);
  InitDialog();
}

CQelOneClickDlg::~CQelOneClickDlg() {
  m_Controller.BeginClose();
  m_Notices.SetSilent(true);
  // Workers wait for the window's thread on every row update, so serve
  // events while waiting for them to finish.
  if (m_Controller.WorkersRunning()) {
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!m_Controller.WorkersRunning()) loop.quit();
    });
    poll.start(WORKER_POLL_MS);
    loop.exec();
  }
  m_Controller.JoinWorkers();
  SetNoticeSink(nullptr);
}

void CQelOneClickDlg::InitDialog() {
  InitWindowResources();
  m_Icon = QIcon(":/icons/app128.png");
  setWindowIcon(m_Icon);
  setMinimumSize(MIN_CLIENT_WIDTH, MIN_CLIENT_HEIGHT);
  resize(INITIAL_CLIENT_WIDTH, INITIAL_CLIENT_HEIGHT);
  RestoreWindowPlacement(*this);
  setWindowTitle(QString::fromStdString(WindowTitle()));

  m_CheckButton.setText(LoadStringId(IDS_CHECK_BUTTON));
  m_CheckButton.SetIcon(QIcon(":/icons/check133.png"));
  m_CheckButton.SetColor(BTNST_COLOR_FG_IN, QColor(255, 0, 0));
  // Enter presses the focused button; with the focus elsewhere the dialog
  // gives the default back to Check.
  m_CheckButton.setAutoDefault(true);
  m_CheckButton.setDefault(true);
  m_UpgradeButton.setText(LoadStringId(IDS_UPGRADE_BUTTON));
  m_UpgradeButton.SetIcon(QIcon(":/icons/upgrade134.png"));
  m_UpgradeButton.SetColor(BTNST_COLOR_FG_IN, QColor(255, 0, 0));
  m_UpgradeButton.setAutoDefault(true);
  connect(&m_CheckButton, &QPushButton::clicked, this, &CQelOneClickDlg::OnCheck);
  connect(&m_UpgradeButton, &QPushButton::clicked, this, &CQelOneClickDlg::OnUpgrade);

  m_List.InsertColumns();
  m_List.m_OnLayout = [this] { LayoutControls(); };
  const QSize layout = QtLayoutSize(size());
  m_LayoutWidth = layout.width();
  m_LayoutHeight = layout.height();
  LayoutControls();

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] {
    activateWindow();
    OnHelp();
  });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    connect(screen, &QScreen::geometryChanged, this, &CQelOneClickDlg::LayoutControls);
  m_Controller.Start();
}

void CQelOneClickDlg::LayoutControls() {
  const DialogLayout layout = ComputeDialogLayout({m_LayoutWidth, m_LayoutHeight});
  m_CheckButton.setGeometry(ToQRect(layout.m_Check));
  m_UpgradeButton.setGeometry(ToQRect(layout.m_Upgrade));
  m_List.setGeometry(ToQRect(layout.m_List));
  m_List.setUpdatesEnabled(false);
  m_List.FitColumns();
  m_List.setUpdatesEnabled(true);
  update();
}

void CQelOneClickDlg::resizeEvent(QResizeEvent* event) {
  const QSize layout = QtLayoutSize(event->size());
  m_LayoutWidth = layout.width();
  m_LayoutHeight = layout.height();
  QDialog::resizeEvent(event);
  LayoutControls();
}

bool CQelOneClickDlg::event(QEvent* event) {
  if (event->type() == CONTROL_EVENT) {
    m_Controller.OnControl(static_cast<CControlEvent*>(event)->m_Code);
    return true;
  }
  return QDialog::event(event);
}

void CQelOneClickDlg::PostControl(int code) { QCoreApplication::postEvent(this, new CControlEvent(code)); }

void CQelOneClickDlg::RunOnWindowThread(const std::function<void()>& work) { RunOnGuiThread(this, work); }

void CQelOneClickDlg::StartDelay(int realMs, int code) {
  // Bound to the window: a delay still pending when it closes is dropped.
  QTimer::singleShot(realMs, this, [this, code] { PostControl(code); });
}

void CQelOneClickDlg::EnableButton(WindowButton button, bool enabled) { Button(button).setEnabled(enabled); }

void CQelOneClickDlg::FocusButton(WindowButton button) { Button(button).setFocus(); }

void CQelOneClickDlg::BringToFront() {
  raise();
  activateWindow();
}

void CQelOneClickDlg::ShowWarningBox(const std::string& text) {
  QMessageBox busy(QMessageBox::Warning, WARNING_CAPTION, QString::fromStdString(text), QMessageBox::Ok, this);
  busy.exec();
}

bool CQelOneClickDlg::AskYesNo(const std::string& text) {
  QMessageBox confirm(QMessageBox::Information, WARNING_CAPTION, QString::fromStdString(text),
                      QMessageBox::Yes | QMessageBox::No, this);
  confirm.setDefaultButton(QMessageBox::No);
  return confirm.exec() == QMessageBox::Yes;
}

void CQelOneClickDlg::SavePlacement() { SaveWindowPlacement(*this); }

void CQelOneClickDlg::reject() {
  if (m_Controller.RequestClose()) QDialog::reject();
}

void CQelOneClickDlg::OnHelp() {
  // The user's own directory: a shared one would let others put files there.
  CHelpFile help(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
  help.Open(m_HelpOpener);
}

void CQelOneClickDlg::RestoreIfMinimized() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
}
