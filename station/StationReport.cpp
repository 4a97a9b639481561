// The station window's report button: the report form, run modally over the
// station window, which it reads the last picture and the customer's folder
// from.
#include <memory>

#include "report/ReportDlg.h"
#include "station/QuillmarshDlg.h"

void CQuillmarshDlg::OnBnClickedReport() {
    // The station passes itself as the form's parent: the form's owner must
    // be this window.
    auto form = std::make_unique<CReportDlg>(this);
    m_pReportDlg = form.get();
    m_pReportDlg->DoModal();
    // However the form ended (Close, Escape or Enter), nothing reads it
    // afterwards: it goes with its run.
    m_pReportDlg = nullptr;
}
