// {Cmd:Diagnostics}: the library's system and line reports, to the asking client and into the
// protocol file.
#include <string>
#include <vector>

#include "HostCommands.h"
#include "TelvarixTapi.h"
#include "ZarnService.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

const char kLibraryPrefix[] = " >>LINVOQ: ";
const char kCaptureClass[] = "TelvarixReportCapture";

// The library writes its reports into its debug window: for the length of one report run this
// window stands in for the service's own (if any) and keeps the lines.
class ReportCapture {
public:
    ReportCapture() : m_hPrevious(CTapiApp::m_hWndDebugParent), m_hWnd(nullptr) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kCaptureClass;
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, kCaptureClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (!m_hWnd) return;
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_lines));
        CTapiApp::m_hWndDebugParent = m_hWnd;
    }
    ~ReportCapture() {
        CTapiApp::m_hWndDebugParent = m_hPrevious;
        if (m_hWnd) DestroyWindow(m_hWnd);
    }
    bool IsReady() const { return m_hWnd != nullptr; }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg != WM_LINVOQ_DEBUG) return DefWindowProcA(hWnd, msg, wParam, lParam);
        auto* pLines = reinterpret_cast<std::vector<std::string>*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        const char* pszText = reinterpret_cast<const char*>(lParam);
        if (!pLines || !pszText) return 0;
        std::string text(pszText);
        if (text.compare(0, sizeof kLibraryPrefix - 1, kLibraryPrefix) == 0) text.erase(0, sizeof kLibraryPrefix - 1);
        pLines->push_back(text);
        return 0;
    }

    HWND m_hPrevious;
    HWND m_hWnd;
    std::vector<std::string> m_lines;
};

}  // namespace

void RegisterDiagnosticsCommand(ZarnService& service, CTelvarixTapi& tapi) {
    service.RegisterCommand(zarn::CommandKind::Diagnostics, [&service, &tapi](SOCKET s, const Request& request) {
        std::vector<std::string> lines;
        {
            ReportCapture capture;
            if (!capture.IsReady()) return service.AnswerError(s, request, "NotReady", "no window for the report");
            tapi.PrintSystemInfoFile();
            tapi.PrintTAPIInfoFile();
            lines = capture.Lines();
        }
        ProtocolLog& log = service.Log();
        log.Write(1, "client %u asked for the diagnostic report (%u lines)", static_cast<unsigned>(s),
                  static_cast<unsigned>(lines.size()));
        for (const std::string& text : lines) {
            log.Write(1, "report %s", text.c_str());
            LineBuilder line;
            line.Add("Data", "Report");
            if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
            line.Add("Text", text);
            service.Answer(s, line.Text());
        }
        service.AnswerOk(s, request, LineBuilder().Add("Lines", static_cast<long long>(lines.size())).Text());
    });
}
