#pragma once
// A scratch executable folder for the customer records: the no-photo
// picture and the language pack beside it, the customer database read back
// straight from its file, and small bitmaps to use as photos.
#include <string>
#include <vector>

#include <wx/string.h>

#include "support/TempDir.h"

class RecordsFolder {
public:
    // `pack` replaces the language pack's text when given.
    explicit RecordsFolder(const char* pack = nullptr);
    ~RecordsFolder();
    RecordsFolder(const RecordsFolder&) = delete;
    RecordsFolder& operator=(const RecordsFolder&) = delete;

    std::string Path() const { return m_dir.Path(); }
    std::string Database() const { return m_dir.File("UserData.mdb"); }
    // The rows of `sql` on the database file, each column as text ("<null>" for null).
    std::vector<std::vector<std::string>> Rows(const std::string& sql) const;
    // Runs `sql` on the database file; false when the engine refused it.
    bool Execute(const std::string& sql) const;
    // A 24-bit BMP of one colour (B, G, R), written under `name`; its bytes.
    std::string WritePhoto(const std::string& name, int blue, int green, int red) const;
    std::string Bytes(const std::string& path) const;

private:
    TempDir m_dir;
};
