#pragma once
// A long value appended in pieces before its row is written.  The pieces wait
// in an unnamed temporary file, so that the value is never held whole in
// memory; the file goes with the object.  Internal to the database layer.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ado {

class StagedValue {
public:
    // The file is made in `folder` when it can be (the database's own folder,
    // whose disk has to hold the value anyway), else in the temporary folder.
    // Raises _com_error when no file can be made.
    explicit StagedValue(const std::string& folder);
    ~StagedValue();
    StagedValue(const StagedValue&) = delete;
    StagedValue& operator=(const StagedValue&) = delete;

    // Adds the bytes at the end; raises _com_error (a full disk, say), the
    // value then being as it was before the call.
    void Append(const void* data, std::size_t size);
    std::int64_t Size() const { return m_size; }
    // Up to `size` bytes from `offset`; how many there were.  Raises _com_error
    // when the file cannot be read.
    std::size_t Read(std::int64_t offset, void* out, std::size_t size) const;

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
};

}  // namespace ado
