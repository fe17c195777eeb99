// The dialog framework: command targets with static message maps, windows, modal dialogs, the
// application object and message boxes. It talks to the window system only through DialogHost.
#pragma once

#include <map>
#include <memory>

#include "framework/cstring.h"
#include "framework/dialog_host.h"
#include "platform/compat/wintypes.h"

class CCmdTarget;
class CWnd;
class CDataExchange;

// One message-map entry. Handlers are plain functions that cast the target back to the class
// whose map holds the entry.
using AFX_PMSG = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;                    // the window message; WM_COMMAND for notifications and commands
    UINT nCode;                       // WM_COMMAND: the notification code
    UINT nID;                         // WM_COMMAND: first control or command id
    UINT nLastID;                     // WM_COMMAND: last id of the range
    const UINT* pRegisteredMessage;   // registered message: where its number is kept, or null
    AFX_PMSG pfn;                     // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                        \
protected:                                           \
    static const AFX_MSGMAP* GetThisMessageMap();    \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                           \
        using ThisClass [[maybe_unused]] = theClass;                            \
        using TheBaseClass = baseClass;                                         \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                     \
    {0, 0, 0, 0, nullptr, nullptr}                                                            \
    }                                                                                         \
    ;                                                                                         \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]}; \
    return &messageMap;                                                                       \
    }

#define PW_HANDLER(body) [](CCmdTarget * target, [[maybe_unused]] WPARAM wParam, [[maybe_unused]] LPARAM lParam) \
                             -> LRESULT { auto* self = static_cast<ThisClass*>(target); body }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), nullptr, PW_HANDLER(self->memberFxn(); return 0;)},
#define ON_CONTROL(code, id, memberFxn) \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), nullptr, PW_HANDLER(self->memberFxn(); return 0;)},
// One handler for a notification from every control whose id lies in id..idLast; it gets the id.
#define ON_CONTROL_RANGE(code, id, idLast, memberFxn)                                  \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(idLast), nullptr,                   \
     PW_HANDLER(self->memberFxn((UINT)LOWORD(wParam)); return 0;)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, nullptr, PW_HANDLER(self->OnSysCommand((UINT)wParam, lParam); return 0;)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, nullptr, PW_HANDLER(self->OnPaint(); return 0;)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, nullptr, PW_HANDLER(return (LRESULT)self->OnQueryDragIcon();)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, nullptr, PW_HANDLER(self->OnTimer((UINT)wParam); return 0;)},
#define ON_REGISTERED_MESSAGE(messageVariable, memberFxn) \
    {0, 0, 0, 0, &(messageVariable), PW_HANDLER(return self->memberFxn(wParam, lParam);)},

// Anything that receives messages or commands through a message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the first entry of the map chain that matches; false when none does.
    bool OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* newItem = nullptr);
};

// A window seen through its handle: the dialog itself or one of its controls.
class CWnd : public CCmdTarget, public DialogWindow {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // A wrapper for control `id`, owned by this window until it closes; nullptr when missing.
    CWnd* GetDlgItem(int id) const;
    CMenu* GetSystemMenu(BOOL revert);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, void* unused = nullptr);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;
    void SetFocus();
    // A disabled control takes no input and is drawn so; returns whether it was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    bool HostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    // The host's own handling of the message being handled now; its result.
    LRESULT Default();

    // Handlers that do only the default handling, for classes that extend them.
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    void OnTimer(UINT id);
    HICON OnQueryDragIcon();

    // While positive, notifications from child controls are dropped before the message map.
    int m_notifyLockout = 0;
    void ForgetChildren();

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const CurrentMessage* m_current = nullptr;
    mutable std::map<HWND, std::unique_ptr<CWnd>> m_children;
    CMenu m_systemMenu;
};

// A paint context for the duration of one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }
    void DrawIcon(int x, int y, HICON icon);

private:
    CWnd* m_wnd;
    HDC m_hDC;
};

class CSpinButtonCtrl {
public:
    explicit CSpinButtonCtrl(HWND hwnd) : m_hWnd(hwnd) {}
    void SetRange32(int lower, int upper);
    HWND m_hWnd;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    void EndDialog(int result);
    virtual BOOL OnInitDialog();

    // Moves data between the fields and the controls; FALSE when a field failed validation.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    bool HostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int DoMessageBox(const char* prompt, UINT type, UINT idPrompt);

    HICON LoadIcon(UINT id) const;
    BOOL Enable3dControlsStatic();  // controls look three-dimensional wherever the host can draw it

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;

protected:
    void OnHelp();  // the framework's help handler: there is no help file, so it does nothing

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
int AfxGetSystemMetrics(int index);
// Icon resource `id` at cx x cy pixels, in the default colours; nullptr when it is missing.
HICON AfxLoadIcon(UINT id, int cx, int cy);

// The application's message box: modal to the main window when there is one, captioned with the
// application title, with the exclamation icon when the caller names none.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT idHelp = 0);
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK, UINT idHelp = (UINT)-1);

// Runs the application object on `host`: what WinMain does. Returns the process exit code.
int AfxWinMain(DialogHost& host);
