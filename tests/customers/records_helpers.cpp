#include "Records.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <opencv2/imgcodecs.hpp>

#include "app/QuillmarshApp.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

RecordsFolder::RecordsFolder(const char* pack) {
    const fs::path build = QUILL_BUILD_DIR;
    fs::create_directories(m_dir.File("standard/photo"));
    fs::copy_file(build / "standard/photo/women.bmp", m_dir.File("standard/photo/women.bmp"));
    const std::string packPath = m_dir.File("Language/简体中文.ini");
    if (pack) {
        m_dir.Write("Language/简体中文.ini", pack);
    } else {
        fs::create_directories(m_dir.File("Language"));
        fs::copy_file(build / "Language" / fs::u8path("简体中文.ini"), fs::u8path(packPath));
    }
    plat::SetExecutableFolderForTesting(wxString::FromUTF8(m_dir.Path()));
    theApp.m_strLangIni = wxString::FromUTF8(packPath);
}

RecordsFolder::~RecordsFolder() {
    plat::SetExecutableFolderForTesting(wxString());
    theApp.m_strLangIni.clear();
}

std::vector<std::vector<std::string>> RecordsFolder::Rows(const std::string& sql) const {
    std::vector<std::vector<std::string>> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                std::vector<std::string> row;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const void* data = sqlite3_column_blob(st, i);
                    if (sqlite3_column_type(st, i) == SQLITE_NULL)
                        row.push_back("<null>");
                    else
                        row.push_back(data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(st, i))
                                           : std::string());
                }
                rows.push_back(row);
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

bool RecordsFolder::Execute(const std::string& sql) const {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(Database().c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

std::string RecordsFolder::WritePhoto(const std::string& name, int blue, int green, int red) const {
    const std::string path = m_dir.File(name);
    fs::create_directories(fs::path(path).parent_path());
    cv::imwrite(path, cv::Mat(30, 20, CV_8UC3, cv::Scalar(blue, green, red)));
    return path;
}

std::string RecordsFolder::Bytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
