#pragma once
// The table of resources embedded by the build (made from resources/resource_list.txt).
namespace plat {
struct ResourceEntry {
    int id;
    const char* type;
    const unsigned char* begin;
    const unsigned char* end;
};
// Ends with an entry whose type is nullptr.
extern const ResourceEntry kResourceTable[];
}
