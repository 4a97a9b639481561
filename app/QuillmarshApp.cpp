#include "QuillmarshApp.h"

CQuillmarshApp theApp;

CQuillmarshApp::CQuillmarshApp() = default;

// Start-up is completed with the start page.
BOOL CQuillmarshApp::InitInstance() { return FALSE; }
int CQuillmarshApp::ExitInstance() { return 0; }
