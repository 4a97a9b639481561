// The automation layer, and the word processor object against a stand-in
// `soffice` (a shell script) on the PATH.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "platform/automation/DispatchDriver.h"
#include "platform/automation/Office.h"
#include "platform/automation/RtfWriter.h"
#include "platform/automation/WordApplication.h"
#include "platform/automation/WordDocument.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace plat::word;

namespace {

class Probe : public plat::DispatchObject {
public:
    explicit Probe(int* alive) : m_alive(alive) { ++*m_alive; }
    ~Probe() override { --*m_alive; }
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        lastId = id;
        lastFlags = flags;
        lastArgs.clear();
        for (const VARIANT& v : params.rgvarg) lastArgs.push_back(v);
        if (info && refusal) {
            info->bstrDescription = *refusal;
            return DISP_E_EXCEPTION;
        }
        if (result) *result = answer;
        return answerCode;
    }
    int* m_alive;
    DISPID lastId = 0;
    WORD lastFlags = 0;
    std::vector<VARIANT> lastArgs;
    VARIANT answer;
    HRESULT answerCode = S_OK;
    std::optional<wxString> refusal;
};

// Alive, and not merely waiting to be reaped.
bool Running(int pid) {
    if (::kill(pid, 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

ULONG Refs(IDispatch* object) {
    object->AddRef();
    return object->Release();
}

// Registers makers of Probes under "Test.Probe" for as long as it lives.
struct ProbeClass {
    int alive = 0;
    Probe* last = nullptr;
    ProbeClass() {
        plat::RegisterProgId("Test.Probe", [this](IDispatch** out) {
            *out = last = new Probe(&alive);
            return S_OK;
        });
    }
    ~ProbeClass() { plat::RegisterProgId("Test.Probe", {}); }
};

}  // namespace

TEST(DispatchDriver, DriversHoldOneReferenceEachAndAnEmptyDriverCallsNothing) {
    ProbeClass probes;
    {
        COleDispatchDriver a, b;
        a.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);  // empty: no call, no throw
        ASSERT_TRUE(a.CreateDispatch(L"test.PROBE"));                      // names match without case
        Probe* first = probes.last;
        EXPECT_EQ(Refs(first), 1u);
        b = a;
        EXPECT_EQ(Refs(first), 2u);
        b = b;
        EXPECT_EQ(Refs(first), 2u);
        COleDispatchDriver c(b);
        EXPECT_EQ(Refs(first), 3u);
        // A new object for a driver that holds one lets the old one go.
        ASSERT_TRUE(b.CreateDispatch(L"Test.Probe"));
        EXPECT_EQ(Refs(first), 2u);
        EXPECT_EQ(probes.alive, 2);
        c.ReleaseDispatch();
        c.ReleaseDispatch();
        a = COleDispatchDriver();
        EXPECT_EQ(probes.alive, 1);
        SCODE error = 0;
        EXPECT_FALSE(c.CreateDispatch(L"Nobody.Registered", &error));
        EXPECT_EQ(error, CO_E_CLASSSTRING);
        EXPECT_EQ(c.m_lpDispatch, nullptr);
    }
    EXPECT_EQ(probes.alive, 0);
}

TEST(DispatchDriver, ArgumentsGoAsTheirParameterTypeAndResultsComeBack) {
    ProbeClass probes;
    COleDispatchDriver d;
    ASSERT_TRUE(d.CreateDispatch(L"Test.Probe"));
    Probe& p = *probes.last;

    const VARIANT byRef = VARIANT::I2(7);
    static const BYTE parms[] = {kVtsBstr, kVtsBool, kVtsI4, kVtsR4, kVtsPVariant, kVtsR4, 0};
    p.answer = VARIANT::I4(42);
    long got = 0;
    d.InvokeHelper(0x1F9, DISPATCH_METHOD, VT_I4, &got, parms, L"文字", TRUE, 6, 26.5f, &byRef, 12);
    EXPECT_EQ(got, 42);
    EXPECT_EQ(p.lastId, 0x1F9);
    EXPECT_EQ(p.lastFlags, DISPATCH_METHOD);
    const std::vector<VARTYPE> types = {VT_BSTR, VT_BOOL, VT_I4, VT_R4, VT_BYREF | VT_VARIANT, VT_R4};
    ASSERT_EQ(p.lastArgs.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(p.lastArgs[i].vt, types[i]) << i;
    EXPECT_EQ(p.lastArgs[0].bstrVal, L"文字");
    EXPECT_EQ(p.lastArgs[1].boolVal, VARIANT_TRUE);
    EXPECT_EQ(p.lastArgs[2].lVal, 6);
    EXPECT_FLOAT_EQ(p.lastArgs[3].fltVal, 26.5f);
    EXPECT_EQ(p.lastArgs[4].pvarVal, &byRef);
    EXPECT_FLOAT_EQ(p.lastArgs[5].fltVal, 12.0f);

    {  // an object result: the caller gets a reference of its own
        COleDispatchDriver other;
        ASSERT_TRUE(other.CreateDispatch(L"Test.Probe"));
        p.answer = VARIANT::Dispatch(other.m_lpDispatch);
        LPDISPATCH object = nullptr;
        d.InvokeHelper(5, DISPATCH_PROPERTYGET, VT_DISPATCH, &object, VTS_NONE);
        p.answer.Clear();
        EXPECT_EQ(object, other.m_lpDispatch);
        EXPECT_EQ(Refs(object), 2u);
        object->Release();
    }
    EXPECT_EQ(probes.alive, 1);
}

TEST(DispatchDriver, FailedCallsRaiseTheObjectsDescriptionOrTheirCode) {
    ProbeClass probes;
    COleDispatchDriver d;
    ASSERT_TRUE(d.CreateDispatch(L"Test.Probe"));
    Probe& p = *probes.last;

    p.refusal = wxString(L"打印机不可用");
    try {
        d.InvokeHelper(0x1BC, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
        ADD_FAILURE() << "a refused call returned";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(e.GetErrorMessage(), L"打印机不可用");
    }
    p.refusal.reset();

    struct Case {
        HRESULT answer;
        const BYTE* parms;
        VARTYPE vtRet;
        SCODE expected;
    };
    const Case cases[] = {
        {DISP_E_MEMBERNOTFOUND, VTS_NONE, VT_EMPTY, DISP_E_MEMBERNOTFOUND},
        {S_OK, VTS_I4, VT_EMPTY, DISP_E_BADPARAMCOUNT},       // fewer arguments than types
        {S_OK, VTS_NONE, VT_DISPATCH, DISP_E_TYPEMISMATCH},  // the object answers with a number
    };
    p.answer = VARIANT::I4(1);
    for (const Case& c : cases) {
        p.answerCode = c.answer;
        LPDISPATCH out = nullptr;
        try {
            d.InvokeHelper(9, DISPATCH_METHOD, c.vtRet, &out, c.parms);
            ADD_FAILURE() << "no exception for " << std::hex << c.expected;
        } catch (const COleException& e) {
            EXPECT_EQ(e.m_sc, c.expected);
        }
    }
}

TEST(WordDocument, TypingBuildsParagraphsWithTheirAlignmentFontAndPictures) {
    Document doc;
    auto picture = std::make_shared<Picture>();
    EXPECT_EQ(doc.EndOfStory(false), 0);
    doc.SetAlignment(kAlignCenter);
    doc.SetBold(true);
    doc.SetSize(26);
    doc.TypeText(U"Title\n");
    doc.SetBold(false);
    doc.SetSize(12);
    doc.TypeText(U"A:x\t\tB:y\r\n\n");
    doc.SetAlignment(kAlignLeft);  // only the paragraph at the insertion point
    doc.TypeText(U"kind\n");
    // A picture at the insertion point leaves the insertion point before it.
    doc.InsertPicture(doc.SelStart(), doc.SelEnd(), picture);
    EXPECT_EQ(doc.SelStart(), doc.Length() - 1);
    EXPECT_EQ(doc.MoveRight(1, false), 1);
    EXPECT_EQ(doc.MoveRight(1, false), 0) << "the last mark cannot be passed";
    doc.TypeParagraph();
    doc.TypeText(U"cause\rmore");
    doc.SetAlignment(kAlignRight);
    doc.TypeText(U"date");

    const std::vector<Paragraph> ps = doc.Paragraphs();
    ASSERT_EQ(ps.size(), 7u);
    const struct {
        int alignment;
        const char32_t* text;  // of the only run; nullptr: no run, "": a picture
    } expected[] = {{kAlignCenter, U"Title"}, {kAlignCenter, U"A:x\t\tB:y"}, {kAlignCenter, nullptr},
                    {kAlignLeft, U"kind"},    {kAlignLeft, U""},            {kAlignLeft, U"cause"},
                    {kAlignRight, U"moredate"}};
    for (std::size_t i = 0; i < ps.size(); ++i) {
        EXPECT_EQ(ps[i].alignment, expected[i].alignment) << i;
        ASSERT_EQ(ps[i].runs.size(), expected[i].text ? 1u : 0u) << i << " (CR LF is one paragraph mark)";
        if (expected[i].text) EXPECT_EQ(ps[i].runs[0].text, expected[i].text) << i;
    }
    EXPECT_EQ(ps[0].runs[0].format, (CharFormat{true, 26}));
    EXPECT_EQ(ps[1].runs[0].format, (CharFormat{false, 12}));
    EXPECT_EQ(ps[4].runs[0].picture, picture);

    // Moves stop at the end; a picture over a selection replaces it.
    Document sel;
    sel.TypeText(U"abc");
    sel.EndOfStory(false);
    sel.MoveRight(5, false);
    EXPECT_EQ(sel.SelStart(), 3u);
    Document over;
    over.TypeText(U"one two");
    over.EndOfStory(false);
    over.InsertPicture(0, 4, picture);  // "one " replaced
    EXPECT_EQ(over.SelStart(), 4u) << "the insertion point keeps its place behind the change";
    EXPECT_EQ(over.Paragraphs()[0].runs[1].text, U"two");
}

TEST(RtfWriter, EscapesTextAndStoresPicturesWithinTheTextColumn) {
    Paragraph p;
    p.alignment = kAlignRight;
    p.runs.push_back(plat::word::Run{{true, 10.5f}, U"a\\{b}\t中😀\x01", nullptr});
    auto wide = std::make_shared<Picture>();
    wide->png = {0x89, 0x50};
    wide->width = 1200;
    wide->height = 600;
    p.runs.push_back(plat::word::Run{{}, {}, wide});
    const std::string rtf = WriteRtf({p, Paragraph{}});
    EXPECT_NE(rtf.find("\\qr"), std::string::npos);
    EXPECT_NE(rtf.find("\\b\\fs21 a\\\\\\{b\\}\\tab \\u20013?\\u-10179?\\u-8704?}"), std::string::npos) << rtf;
    // 1200 pixels are wider than the column: shrunk to it, proportions kept.
    const auto at = rtf.find("\\pngblip\\picw1200\\pich600\\picwgoal");
    ASSERT_NE(at, std::string::npos);
    int goalW = 0, goalH = 0;
    ASSERT_EQ(std::sscanf(rtf.c_str() + at, "\\pngblip\\picw1200\\pich600\\picwgoal%d\\pichgoal%d", &goalW, &goalH), 2);
    EXPECT_LT(goalW, 1200 * 15);
    EXPECT_EQ(goalH * 2, goalW);
    EXPECT_NE(rtf.find("8950}"), std::string::npos);
    EXPECT_EQ(std::count(rtf.begin(), rtf.end(), '{'), std::count(rtf.begin(), rtf.end(), '}'));
}

namespace {

// A stand-in `soffice`: records its arguments and acts as FAKE_OFFICE_MODE
// says: "ok" converts (the compound-file signature, then the rich text),
// "fail" ends with an error, "plain" writes a file that is no Word document,
// "silent" writes nothing and says it succeeded (as LibreOffice does on a full
// disk), "hang" makes its temporary folder, as LibreOffice does, and never ends.
const char* const kFakeOffice = R"(#!/bin/sh
echo "$@" >> "$FAKE_OFFICE_LOG"
case "$FAKE_OFFICE_MODE" in
  fail) echo "Error: source file could not be loaded"; exit 1;;
  silent) echo "Error: SfxBaseModel::impl_store failed"; exit 0;;
  hang) mkdir "${TMPDIR:-/tmp}/lu$$.tmp"; sleep 60 & echo $! > "$FAKE_OFFICE_LOG.pid"; wait; exit 0;;
esac
outdir=""; input=""
while [ $# -gt 0 ]; do
  case "$1" in --outdir) outdir="$2"; shift;; *) input="$1";; esac
  shift
done
[ -z "$outdir" ] && exit 0
out="$outdir/$(basename "${input%.*}").doc"
if [ "$FAKE_OFFICE_MODE" = plain ]; then echo plain > "$out"; exit 0; fi
printf '\320\317\021\340\241\261\032\341' > "$out"
cat "$input" >> "$out"
)";

class WordApp : public ::testing::Test {
protected:
    void SetUp() override {
        m_bin.Write("soffice", kFakeOffice);
        ::chmod(m_bin.File("soffice").c_str(), 0755);
        Save("PATH", (m_bin.Path() + ":/usr/bin:/bin").c_str());
        Save("TMPDIR", m_tmp.Path().c_str());
        Save("FAKE_OFFICE_LOG", m_bin.File("calls").c_str());
        Save("FAKE_OFFICE_MODE", "ok");
        Save("QUILLMARSH_HEADLESS", "1");
        Save("CUPS_SERVER", "/nonexistent/cups.sock");  // never a real printer
        Save("PRINTER", nullptr);
        Save("LPDEST", nullptr);
        ASSERT_TRUE(m_app.CreateDispatch(L"Word.Application"));
    }
    void TearDown() override {
        m_app.ReleaseDispatch();
        plat::office::SetRunBoundForTesting(std::chrono::milliseconds(0));
        plat::office::SetDefaultPrinterForTesting("");
        for (auto& [name, value] : m_saved)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    void Save(const std::string& name, const char* value) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
    }

    LPDISPATCH Get(COleDispatchDriver& d, DISPID id) {
        LPDISPATCH r = nullptr;
        d.InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &r, VTS_NONE);
        return r;
    }
    COleDispatchDriver NewDocument(const wxString& text) {
        COleDispatchDriver docs(Get(m_app, dispid::kAppDocuments));
        COleDispatchDriver added;
        added.AttachDispatch([&] {
            LPDISPATCH r = nullptr;
            docs.InvokeHelper(dispid::kDocumentsAdd, DISPATCH_METHOD, VT_DISPATCH, &r, VTS_NONE);
            return r;
        }());
        m_selection.AttachDispatch(Get(m_app, dispid::kAppSelection));
        m_selection.InvokeHelper(dispid::kSelTypeText, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_BSTR, text);
        return added;
    }
    void SaveAs(COleDispatchDriver& doc, const wxString& path) {
        const VARIANT name = VARIANT::Bstr(path), format = VARIANT::I4(0);
        static const BYTE parms[] = {kVtsPVariant, kVtsPVariant, 0};
        doc.InvokeHelper(dispid::kDocSaveAs, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, &name, &format);
    }
    // The reason a save gives; empty when it succeeded.
    std::string SaveFailure(COleDispatchDriver& doc, const std::string& path) {
        try {
            SaveAs(doc, wxString::FromUTF8(path));
        } catch (const COleDispatchException& e) {
            return e.m_strDescription.utf8_string();
        }
        return {};
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void ExpectNothingLeftBehind(const std::string& folder, const std::string& keep) {
        for (const auto& e : fs::directory_iterator(folder))
            EXPECT_EQ(e.path().filename().string(), keep) << "left behind: " << e.path();
        EXPECT_TRUE(fs::is_empty(m_tmp.Path())) << "the scratch folder stayed";
    }

    TempDir m_bin, m_tmp, m_out;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
    COleDispatchDriver m_app, m_selection;
};

}  // namespace

TEST_F(WordApp, NoOfficeOnThePathMeansNoApplication) {
    ::setenv("PATH", m_out.Path().c_str(), 1);
    COleDispatchDriver app;
    SCODE error = 0;
    EXPECT_FALSE(app.CreateDispatch(L"Word.Application", &error));
    EXPECT_EQ(error, CO_E_SERVER_EXEC_FAILURE);
}

TEST_F(WordApp, SavingReplacesTheTargetWholeAndLeavesNothingBehind) {
    const std::string target = m_out.File("20240305-070809.doc");
    m_out.Write("20240305-070809.doc", "the earlier document");
    COleDispatchDriver doc = NewDocument(L"报告 Report");
    SaveAs(doc, wxString::FromUTF8(target));
    const std::string saved = Read(target);
    EXPECT_EQ(saved.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0), 0u);
    EXPECT_NE(saved.find("\\u25253?\\u21578? Report"), std::string::npos) << saved;
    ExpectNothingLeftBehind(m_out.Path(), "20240305-070809.doc");
    const std::string calls = Read(m_bin.File("calls"));
    EXPECT_NE(calls.find("--headless"), std::string::npos);
    EXPECT_NE(calls.find("-env:UserInstallation=file://" + m_tmp.Path()), std::string::npos)
        << "a profile of its own: " << calls;
}

TEST_F(WordApp, AFailedConversionIsRefusedWithItsReasonAndKeepsTheEarlierFile) {
    plat::office::SetRunBoundForTesting(std::chrono::milliseconds(1500));
    const std::string target = m_out.File("a.doc");
    const std::pair<const char*, const char*> modes[] = {{"fail", "failed to convert it (it ended with code 1)"},
                                                         {"plain", "wrote no Word 97 document"},
                                                         {"silent", "wrote no Word 97 document"},
                                                         {"hang", "did not finish it within 1 seconds"}};
    for (const auto& [mode, reason] : modes) {
        SCOPED_TRACE(mode);
        m_out.Write("a.doc", "earlier");
        ::setenv("FAKE_OFFICE_MODE", mode, 1);
        COleDispatchDriver doc = NewDocument(L"x");
        EXPECT_EQ(SaveFailure(doc, target), "The document could not be saved:\n" + target + "\nLibreOffice " + reason + ".");
        EXPECT_EQ(Read(target), "earlier");
        ExpectNothingLeftBehind(m_out.Path(), "a.doc");
    }
    // The overrunning run was ended with what it started.
    const int pid = std::atoi(Read(m_bin.File("calls.pid")).c_str());
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 200 && Running(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(Running(pid));
    // Into a folder that does not exist.
    ::setenv("FAKE_OFFICE_MODE", "ok", 1);
    COleDispatchDriver doc = NewDocument(L"x");
    EXPECT_THROW(SaveAs(doc, wxString::FromUTF8(m_out.File("missing/b.doc"))), COleDispatchException);
}

// A folder on a file system of its own (where this machine lets the test
// mount one): a full disk, and one that cannot be written.
TEST_F(WordApp, AFullDiskOrAReadOnlyFolderIsSaidInPlainWords) {
    const std::string disk = m_out.File("disk");
    fs::create_directory(disk);
    struct Case {
        const char* mode;
        unsigned long flags;
        const char* reason;
    };
    for (const Case c : {Case{"silent", 0, "there is no space left on the disk."},
                         Case{"ok", 0, "there is no space left on the disk."},
                         Case{"ok", MS_RDONLY, "the folder cannot be written."}}) {
        SCOPED_TRACE(c.reason);
        if (::mount("tmpfs", disk.c_str(), "tmpfs", c.flags, "size=64k") != 0)
            GTEST_SKIP() << "no file system can be mounted here: " << std::strerror(errno);
        if (!(c.flags & MS_RDONLY)) {
            const int fd = ::open((disk + "/fill").c_str(), O_WRONLY | O_CREAT, 0600);
            const std::string block(4096, 'f');
            while (::write(fd, block.data(), block.size()) > 0) {
            }
            ::close(fd);
        }
        ::setenv("FAKE_OFFICE_MODE", c.mode, 1);
        COleDispatchDriver doc = NewDocument(L"x");
        const std::string failure = SaveFailure(doc, disk + "/r.doc");
        ::umount2(disk.c_str(), MNT_DETACH);
        EXPECT_EQ(failure, "The document could not be saved:\n" + disk + "/r.doc\n" + c.reason);
    }
}

TEST_F(WordApp, PicturesAreStoredAndAnUnreadableOneIsRefused) {
    COleDispatchDriver doc = NewDocument(L"");
    COleDispatchDriver shapes(Get(m_selection, dispid::kSelInlineShapes));
    auto add = [&](const std::string& file) {
        static const BYTE parms[] = {kVtsBstr, 0};
        LPDISPATCH shape = nullptr;
        shapes.InvokeHelper(dispid::kShapesAddPicture, DISPATCH_METHOD, VT_DISPATCH, &shape, parms,
                            wxString::FromUTF8(file));
        COleDispatchDriver release(shape);
    };
    m_out.Write("broken.bmp", "BM not really");
    try {
        add(m_out.File("broken.bmp"));
        ADD_FAILURE() << "an unreadable picture was taken";
    } catch (const COleDispatchException& e) {
        EXPECT_TRUE(e.m_strDescription.Contains("broken.bmp")) << e.m_strDescription;
    }
    cv::Mat red(30, 40, CV_8UC3, cv::Scalar(0, 0, 255));
    ASSERT_TRUE(cv::imwrite(m_out.File("照片.bmp"), red));
    add(m_out.File("照片.bmp"));
    SaveAs(doc, wxString::FromUTF8(m_out.File("p.doc")));
    EXPECT_NE(Read(m_out.File("p.doc")).find("\\pngblip\\picw40\\pich30"), std::string::npos);
}

// A print that fails says why in the operator's words, as a save does.
TEST_F(WordApp, PrintingFailsInPlainWords) {
    plat::office::SetRunBoundForTesting(std::chrono::milliseconds(1500));
    const std::pair<const char*, const char*> cases[] = {
        {"", "there is no printer to print on (no default printer is set up)."},
        {"ok", ""},
        {"fail", "LibreOffice could not print it on the printer Front-Desk."},
        {"hang", "LibreOffice did not finish it within 1 seconds."},
    };
    for (const auto& [mode, reason] : cases) {
        SCOPED_TRACE(mode);
        ::setenv("FAKE_OFFICE_MODE", mode, 1);
        plat::office::SetDefaultPrinterForTesting(*mode ? "Front-Desk" : "");
        COleDispatchDriver doc = NewDocument(L"x");
        const VARIANT background = VARIANT::I2(0), copies = VARIANT::I4(1), missing = VARIANT::Missing();
        static const BYTE parms[] = {kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                     kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
        std::string failure;
        try {
            doc.InvokeHelper(dispid::kDocPrintOut, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, &background, &missing,
                             &missing, &missing, &missing, &missing, &missing, &copies);
        } catch (const COleDispatchException& e) {
            failure = e.m_strDescription.utf8_string();
        }
        EXPECT_EQ(failure, *reason ? "The document could not be printed: " + std::string(reason) : "");
        EXPECT_TRUE(fs::is_empty(m_tmp.Path())) << "the scratch folder stayed";
    }
    // Without a printer LibreOffice is not even started.
    const std::string calls = Read(m_bin.File("calls"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 3);
}

TEST_F(WordApp, AVisibleApplicationOpensTheSavedDocumentForTheOperator) {
    m_app.InvokeHelper(dispid::kAppVisible, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, TRUE);
    COleDispatchDriver doc = NewDocument(L"x");
    const wxString path = wxString::FromUTF8(m_out.File("shown.doc"));
    SaveAs(doc, path);  // headless
    ::unsetenv("QUILLMARSH_HEADLESS");
    SaveAs(doc, path);  // a LibreOffice without windows
    m_bin.Write("libvclplug_gtk3lo.so", "");
    SaveAs(doc, path);
    auto opened = [&] {
        const std::string calls = Read(m_bin.File("calls"));
        int n = 0;
        for (auto at = calls.find("--writer " + m_out.File("shown.doc")); at != std::string::npos;
             at = calls.find("--writer", at + 1))
            ++n;
        return n;
    };
    for (int i = 0; i < 200 && opened() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(opened(), 1) << "opened once: for the last save only";
}
