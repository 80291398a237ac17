#include "base/message_catalog.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kt482 {
namespace {

using Catalog = std::unordered_map<std::string, std::string>;

constexpr uint32_t kMoMagic = 0x950412de;
// A catalog of the library's few hundred messages is far below this; a
// larger file is no catalog of ours.
constexpr std::size_t kLargestCatalog = 4u << 20;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The languages to try, in order: "ja_JP" before "ja".
std::vector<std::string> wanted_languages()
{
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.empty())
            break;
    }
    // As gettext: LANGUAGE lists languages by preference, except in the C
    // locale, which is English whatever it says.
    if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C."))
        return {};
    std::vector<std::string> names;
    std::string preferred = environment("LANGUAGE");
    if (preferred.empty())
        preferred = locale;
    for (std::size_t start = 0; start <= preferred.size();) {
        const std::size_t end = std::min(preferred.find(':', start), preferred.size());
        std::string name = preferred.substr(start, end - start);
        name = name.substr(0, name.find_first_of(".@"));
        if (!name.empty()) {
            names.push_back(name);
            if (const std::size_t country = name.find('_'); country != std::string::npos)
                names.push_back(name.substr(0, country));
        }
        start = end + 1;
    }
    return names;
}

std::vector<std::string> catalog_folders()
{
    std::vector<std::string> folders;
    if (std::string chosen = environment("KT482_LOCALEDIR"); !chosen.empty())
        folders.push_back(chosen);
    // The library's own file: an installation keeps its catalogs at the same
    // place relative to it, whatever prefix it was installed under.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&translated), &info) != 0 && info.dli_fname) {
        const std::string library = info.dli_fname;
        const std::size_t slash = library.rfind('/');
        if (slash != std::string::npos)
            folders.push_back(library.substr(0, slash) + "/" KT482_LOCALEDIR_FROM_LIBDIR);
    }
    folders.push_back(KT482_BUILD_LOCALEDIR);
    return folders;
}

uint32_t word(const std::string& data, std::size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, data.data() + at, sizeof value);
    return value;
}

// The strings of a .mo file (little-endian, as msgfmt writes on this
// machine); nothing for a file that is not one or is damaged.
std::optional<Catalog> read_catalog(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (data.size() < 20 || data.size() > kLargestCatalog || word(data, 0) != kMoMagic)
        return std::nullopt;
    const uint32_t count = word(data, 8);
    const uint32_t originals = word(data, 12);
    const uint32_t translations = word(data, 16);
    auto string_at = [&](uint32_t table, uint32_t i) -> std::optional<std::string> {
        const uint64_t entry = uint64_t(table) + uint64_t(i) * 8;
        if (entry + 8 > data.size())
            return std::nullopt;
        const uint32_t length = word(data, entry);
        const uint32_t offset = word(data, entry + 4);
        if (uint64_t(offset) + length >= data.size())
            return std::nullopt;
        return data.substr(offset, length);
    };
    Catalog catalog;
    for (uint32_t i = 0; i < count; ++i) {
        const auto original = string_at(originals, i);
        const auto translation = string_at(translations, i);
        if (!original || !translation)
            return std::nullopt;
        // The header (an empty original) and untranslated entries say nothing.
        if (!original->empty() && !translation->empty())
            catalog.emplace(*original, *translation);
    }
    return catalog;
}

Catalog load(const std::vector<std::string>& languages)
{
    for (const std::string& language : languages) {
        if (language == "en")
            return {};
        for (const std::string& folder : catalog_folders())
            if (auto catalog = read_catalog(folder + "/" + language + "/LC_MESSAGES/kt482.mo"))
                return std::move(*catalog);
    }
    return {};
}

// Each language's catalog is read once and kept for the life of the
// process: translated() hands out its strings. The environment is read at
// each message, so a host (or a test) that changes LANG is answered in the
// new language.
const Catalog& catalog()
{
    static std::mutex mutex;
    static auto* loaded = new std::map<std::string, std::unique_ptr<const Catalog>>;
    const std::vector<std::string> languages = wanted_languages();
    std::string key;
    for (const std::string& language : languages)
        key += language + ":";
    std::lock_guard lock(mutex);
    std::unique_ptr<const Catalog>& found = (*loaded)[key];
    if (!found)
        found = std::make_unique<const Catalog>(load(languages));
    return *found;
}

}  // namespace

const char* translated(const char* english)
{
    const Catalog& c = catalog();
    const auto found = c.find(english);
    return found == c.end() ? english : found->second.c_str();
}

std::string localized(std::string_view english)
{
    const Catalog& c = catalog();
    if (c.empty())
        return std::string(english);
    if (const auto whole = c.find(std::string(english)); whole != c.end())
        return whole->second;
    const std::size_t colon = english.find(": ");
    if (colon != std::string_view::npos) {
        if (const auto head = c.find(std::string(english.substr(0, colon))); head != c.end())
            return head->second + std::string(english.substr(colon));
    }
    return std::string(english);
}

}  // namespace kt482
