#include "app/window/QelOneClickDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

#include "app/CheckProcedure.h"
#include "app/ModuleTable.h"
#include "app/window/ControlEvent.h"
#include "app/window/DialogLayout.h"
#include "app/window/GuiThread.h"
#include "app/window/HelpFile.h"
#include "app/window/LoopTest.h"
#include "app/window/ModuleVersion.h"
#include "app/window/WindowPlacement.h"
#include "app/window/WindowResources.h"
#include "net/Clock.h"

namespace {

// The window's first size, the old dialog template's 400 x 150 units.
constexpr int INITIAL_WIDTH = 800;
constexpr int INITIAL_HEIGHT = 282;
constexpr int WORKER_POLL_MS = 5;

}  // namespace

CQelOneClickDlg::CQelOneClickDlg(const WindowOptions& options, QWidget* parent)
    : QDialog(parent),
      m_Options(options),
      m_CheckButton(this),
      m_UpgradeButton(this),
      m_List(this),
      m_Engine({.m_List = &m_List,
                .m_RouterPort = options.m_Port,
                .m_Notify = [this](int code) { PostControl(code); }}),
      m_Notices(this) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  SetNoticeSink(&m_Notices);
  InitDialog();
}

CQelOneClickDlg::~CQelOneClickDlg() {
  m_Closing = true;
  m_Notices.SetSilent(true);
  WaitForWorkers();
  SetNoticeSink(nullptr);
}

void CQelOneClickDlg::InitDialog() {
  InitWindowResources();
  m_Icon = QIcon(":/icons/app128.png");
  setWindowIcon(m_Icon);
  setMinimumSize(MIN_CLIENT_WIDTH, MIN_CLIENT_HEIGHT);
  resize(INITIAL_WIDTH, INITIAL_HEIGHT);
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
  m_UpgradeButton.setEnabled(false);
  connect(&m_CheckButton, &QPushButton::clicked, this, &CQelOneClickDlg::OnCheck);
  connect(&m_UpgradeButton, &QPushButton::clicked, this, &CQelOneClickDlg::OnUpgrade);

  m_List.InsertColumns();
  m_List.m_OnLayout = [this] { LayoutControls(); };
  const QSize layout = LayoutSize(size(), MinimumTrackSize());
  m_LayoutWidth = layout.width();
  m_LayoutHeight = layout.height();
  LayoutControls();
  TheModuleTable().LoadTypeNames();

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] {
    activateWindow();
    OnHelp();
  });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    connect(screen, &QScreen::geometryChanged, this, &CQelOneClickDlg::LayoutControls);

  LoadEmbeddedPackages();
  const std::string marker = m_Options.m_LoopTestMarker.empty() ? LoopTestMarkerPath() : m_Options.m_LoopTestMarker;
  m_LoopTest = QFileInfo::exists(QString::fromStdString(marker));
  m_CheckButton.setFocus();
}

void CQelOneClickDlg::LoadEmbeddedPackages() {
  ModuleTable& table = TheModuleTable();
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    if (table[kind].m_Package.LoadFromResource(PACKAGE_RESOURCE_IDS[kind])) m_PackagesEmbedded = true;
  }
}

void CQelOneClickDlg::LayoutControls() {
  const DialogLayout layout = ComputeDialogLayout(QSize(m_LayoutWidth, m_LayoutHeight));
  m_CheckButton.setGeometry(layout.m_Check);
  m_UpgradeButton.setGeometry(layout.m_Upgrade);
  m_List.setGeometry(layout.m_List);
  m_List.setUpdatesEnabled(false);
  m_List.FitColumns();
  m_List.setUpdatesEnabled(true);
  update();
}

void CQelOneClickDlg::resizeEvent(QResizeEvent* event) {
  const QSize layout = LayoutSize(event->size(), MinimumTrackSize());
  m_LayoutWidth = layout.width();
  m_LayoutHeight = layout.height();
  QDialog::resizeEvent(event);
  LayoutControls();
}

bool CQelOneClickDlg::event(QEvent* event) {
  if (event->type() == WM_APP_CONTROL) {
    OnControl(static_cast<CControlEvent*>(event)->m_Code);
    return true;
  }
  return QDialog::event(event);
}

void CQelOneClickDlg::PostControl(int code) { QCoreApplication::postEvent(this, new CControlEvent(code)); }

void CQelOneClickDlg::OnControl(int code) {
  if (m_Closing) return;
  switch (code) {
    case CTRL_UPGRADE_DONE:
      JoinUpgradeThread();
      m_CheckButton.setEnabled(true);
      m_CheckButton.setFocus();
      if (m_LoopTest) StartDelay(LOOP_TEST_CHECK_DELAY_MS, CTRL_START_CHECK);
      break;
    case CTRL_START_CHECK:
      OnCheck();
      break;
    case CTRL_START_UPGRADE:
      OnUpgrade();
      break;
    case CTRL_CHECK_FAILED:
      m_CheckButton.setFocus();
      break;
    case CTRL_CHECK_DONE:
      m_UpgradeButton.setFocus();
      break;
    default:
      break;
  }
}

void CQelOneClickDlg::OnCheck() {
  // Whoever asks, a Check never overlaps another worker.
  if (m_CheckRunning || m_UpgradeRunning) return;
  JoinCheckThread();
  m_CheckButton.setEnabled(false);
  m_UpgradeButton.setEnabled(false);
  m_CheckRunning = true;
  m_CheckThread = std::thread([this] { RunCheckThread(); });
}

void CQelOneClickDlg::RunCheckThread() {
  CheckOptions options = MakeCheckOptions(m_Options);
  options.m_PackagesEmbedded = m_PackagesEmbedded;
  const bool success = RunCheck(m_Engine, m_List, options);
  RunOnGuiThread(this, [this, success] { OnCheckThreadEnd(success); });
  m_CheckRunning = false;
}

void CQelOneClickDlg::OnCheckThreadEnd(bool success) {
  if (m_Closing) return;
  m_CheckButton.setEnabled(true);
  m_UpgradeButton.setEnabled(success);
  if (success) {
    PostControl(CTRL_CHECK_DONE);
    if (m_LoopTest) StartDelay(LOOP_TEST_UPGRADE_DELAY_MS, CTRL_START_UPGRADE);
  } else {
    PostControl(CTRL_CHECK_FAILED);
  }
  raise();
  activateWindow();
}

void CQelOneClickDlg::OnUpgrade() {
  if (m_CheckRunning || m_UpgradeRunning) return;
  JoinUpgradeThread();
  m_CheckButton.setEnabled(false);
  m_UpgradeButton.setEnabled(false);
  m_UpgradeRunning = true;
  m_UpgradeThread = std::thread([this] {
    m_Engine.RunUpgrade();
    m_UpgradeRunning = false;
  });
}

bool CQelOneClickDlg::UpgradeInProcess() const {
  // The thread is counted from its start, before the pass marks itself busy.
  return m_Engine.Busy() || m_UpgradeRunning;
}

void CQelOneClickDlg::StartDelay(unsigned programMs, int code) {
  // Bound to the window: a delay still pending when it closes is dropped.
  QTimer::singleShot(Clock::RealTimeoutMs(programMs), this, [this, code] { PostControl(code); });
}

void CQelOneClickDlg::reject() {
  if (UpgradeInProcess()) {
    QMessageBox busy(QMessageBox::Warning, WARNING_CAPTION, LoadStringId(IDS_UPGRADE_IN_PROCESS), QMessageBox::Ok, this);
    busy.exec();
    return;
  }
  QMessageBox confirm(QMessageBox::Information, WARNING_CAPTION, LoadStringId(IDS_CONFIRM_CLOSE),
                      QMessageBox::Yes | QMessageBox::No, this);
  confirm.setDefaultButton(QMessageBox::No);
  if (confirm.exec() != QMessageBox::Yes) return;
  SaveWindowPlacement(*this);
  QDialog::reject();
}

void CQelOneClickDlg::OnHelp() {
  // The user's own directory: a shared one would let others put files there.
  CHelpFile help(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
  help.Open(m_HelpOpener);
}

void CQelOneClickDlg::RestoreIfMinimized() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
}

void CQelOneClickDlg::WaitForWorkers() {
  // Workers wait for the window's thread on every row update, so serve
  // events while waiting for them to finish.
  if (m_CheckRunning || m_UpgradeRunning) {
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!m_CheckRunning && !m_UpgradeRunning) loop.quit();
    });
    poll.start(WORKER_POLL_MS);
    loop.exec();
  }
  JoinCheckThread();
  JoinUpgradeThread();
}

void CQelOneClickDlg::JoinCheckThread() {
  if (m_CheckThread.joinable()) m_CheckThread.join();
}

void CQelOneClickDlg::JoinUpgradeThread() {
  if (m_UpgradeThread.joinable()) m_UpgradeThread.join();
}
