// The program's entry: wx runs the application object's start-up from OnInit.
#include <wx/app.h>

#include "app/QuillmarshApp.h"

class QuillmarshWxApp : public wxApp {
public:
    bool OnInit() override {
        theApp.InitInstance();
        return false;  // start-up has run the start page; the program ends
    }
    int OnExit() override { return theApp.ExitInstance(); }
};

wxIMPLEMENT_APP(QuillmarshWxApp);
