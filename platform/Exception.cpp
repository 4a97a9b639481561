#include "platform/Exception.h"

#include "platform/MessageBox.h"

int CException::ReportError(UINT type) const { return AfxMessageBox(GetErrorMessage(), type); }
