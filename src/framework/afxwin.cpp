// Message routing, windows, modal dialogs and the application object.
#include "framework/afxwin.h"

#include <cassert>

#include "framework/ddx.h"
#include "res/resource.h"

namespace {

DialogHost* g_host = nullptr;
CWinApp* g_app = nullptr;

// Notifications a control sends to its dialog: WM_COMMAND carrying the control's handle, WM_NOTIFY.
bool IsControlNotification(UINT message, LPARAM lParam) {
    return (message == WM_COMMAND && lParam != 0) || message == WM_NOTIFY;
}

bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam) {
    if (entry.pRegisteredMessage) return message != 0 && *entry.pRegisteredMessage == message;
    if (entry.nMessage != message) return false;
    if (message != WM_COMMAND) return true;
    const UINT id = LOWORD(wParam);
    return entry.nCode == HIWORD(wParam) && id >= entry.nID && id <= entry.nLastID;
}

}  // namespace

DialogHost& AfxGetHost() {
    assert(g_host && "the framework used before a host is set (AfxSetHost, or a host's constructor)");
    return *g_host;
}
void AfxSetHost(DialogHost* host) { g_host = host; }
void AfxForgetHost(const DialogHost* host) {
    if (g_host == host) g_host = nullptr;
}

// ---- CCmdTarget

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn; ++entry) {
            if (Matches(*entry, message, wParam)) {
                result = entry->pfn(this, wParam, lParam);
                return true;
            }
        }
    }
    return false;
}

// ---- CMenu

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* newItem) {
    return AfxGetHost().AppendMenuItem(m_hMenu, flags, idNewItem, newItem);
}

// ---- CWnd

CWnd::~CWnd() {
    if (g_app && g_app->m_pMainWnd == this) g_app->m_pMainWnd = nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const {
    HWND child = m_hWnd ? AfxGetHost().GetDlgItem(m_hWnd, id) : nullptr;
    if (!child) return nullptr;
    std::unique_ptr<CWnd>& wrapper = m_children[child];
    if (!wrapper) wrapper = std::make_unique<CWnd>(child);
    return wrapper.get();
}

void CWnd::ForgetChildren() { m_children.clear(); }

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    m_systemMenu.m_hMenu = AfxGetHost().GetSystemMenu(m_hWnd, revert);
    return m_systemMenu.m_hMenu ? &m_systemMenu : nullptr;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    AfxGetHost().SetIcon(m_hWnd, icon, bigIcon);
    return icon;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, void*) { return AfxGetHost().SetTimer(m_hWnd, id, elapse); }

BOOL CWnd::IsIconic() const { return AfxGetHost().IsIconic(m_hWnd); }

void CWnd::GetClientRect(LPRECT rect) const { AfxGetHost().GetClientRect(m_hWnd, rect); }

void CWnd::SetFocus() { AfxGetHost().SetFocus(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return AfxGetHost().EnableControl(m_hWnd, enable); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return AfxGetHost().Send(m_hWnd, message, wParam, lParam);
}

bool CWnd::HostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!m_hWnd) m_hWnd = hwnd;
    result = 0;
    if (m_notifyLockout > 0 && IsControlNotification(message, lParam)) return true;  // dropped
    const CurrentMessage current{message, wParam, lParam};
    const CurrentMessage* outer = m_current;
    m_current = &current;
    const bool handled = OnCmdMsg(message, wParam, lParam, result);
    m_current = outer;
    return handled;
}

LRESULT CWnd::Default() {
    if (!m_current) return 0;
    return AfxGetHost().DefaultProc(m_hWnd, m_current->message, m_current->wParam, m_current->lParam);
}

void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnTimer(UINT) { Default(); }
HICON CWnd::OnQueryDragIcon() { return reinterpret_cast<HICON>(Default()); }

CPaintDC::CPaintDC(CWnd* wnd) : m_wnd(wnd), m_hDC(AfxGetHost().BeginPaint(wnd->m_hWnd)) {}
CPaintDC::~CPaintDC() { AfxGetHost().EndPaint(m_wnd->m_hWnd, m_hDC); }
void CPaintDC::DrawIcon(int x, int y, HICON icon) { AfxGetHost().DrawIcon(m_hDC, x, y, icon); }

void CSpinButtonCtrl::SetRange32(int lower, int upper) { AfxGetHost().SetSpinRange(m_hWnd, lower, upper); }

// ---- CDialog

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
    const res::DialogTemplate* tmpl = res::FindDialog(static_cast<int>(m_nIDTemplate));
    if (!tmpl) return -1;
    HWND owner = nullptr;
    if (m_pParentWnd) {
        owner = m_pParentWnd->m_hWnd;
    } else if (CWnd* main = AfxGetMainWnd(); main && main != this) {
        owner = main->m_hWnd;
    }
    const INT_PTR result = AfxGetHost().RunModal(*tmpl, owner, *this);
    ForgetChildren();
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) { AfxGetHost().EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    ++m_notifyLockout;
    BOOL ok = FALSE;
    try {
        DoDataExchange(&dx);
        ok = TRUE;
    } catch (const CUserException&) {
        // The failing field has been reported and focused; the fields before it keep their values.
    }
    --m_notifyLockout;
    return ok;
}

bool CDialog::HostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        m_hWnd = hwnd;
        result = OnInitDialog();
        return true;
    }
    if (CWnd::HostMessage(hwnd, message, wParam, lParam, result)) return true;
    // Commands from menus and keys that the dialog does not handle go on to the application.
    if (message == WM_COMMAND && lParam == 0 && g_app) return g_app->OnCmdMsg(message, wParam, lParam, result);
    return false;
}

// ---- CWinApp

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::DoMessageBox(const char* prompt, UINT type, UINT) {
    CString caption;
    caption.LoadString(AFX_IDS_APP_TITLE);
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    return AfxGetHost().ShowMessageBox(owner, prompt, caption, type);
}

HICON CWinApp::LoadIcon(UINT id) const { return AfxGetHost().LoadIconResource(static_cast<int>(id), 0, 0); }

BOOL CWinApp::Enable3dControlsStatic() { return TRUE; }

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() { return g_host ? g_host->InstanceHandle() : nullptr; }

int AfxGetSystemMetrics(int index) { return AfxGetHost().GetSystemMetrics(index); }

HICON AfxLoadIcon(UINT id, int cx, int cy) { return AfxGetHost().LoadIconResource(static_cast<int>(id), cx, cy); }

int AfxMessageBox(const char* text, UINT type, UINT idHelp) {
    if (g_app) return g_app->DoMessageBox(text, type, idHelp);
    CString caption;
    caption.LoadString(AFX_IDS_APP_TITLE);
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    return AfxGetHost().ShowMessageBox(nullptr, text, caption, type);
}

int AfxMessageBox(UINT idPrompt, UINT type, UINT idHelp) {
    CString text;
    text.LoadString(idPrompt);
    return AfxMessageBox(text, type, idHelp == (UINT)-1 ? idPrompt : idHelp);
}

int AfxWinMain(DialogHost& host) {
    AfxSetHost(&host);
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_hInstance = host.InstanceHandle();
    app->InitInstance();  // a dialog-based program does all its work here and returns FALSE
    return app->ExitInstance();
}
