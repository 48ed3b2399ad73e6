// The seven project tables: their names, columns and index tags.
#pragma once

#include <vector>

#include "engine/store/xbase/table.h"

namespace fw {

enum class TableId { kUrl, kProps, kLinks, kTitle, kUrlExt, kQueue, kFilter };
inline constexpr int kTableCount = 7;

struct TableSchema {
    TableId id;
    const char* name;  // also the file name without extension
    std::vector<xbase::FieldDef> fields;
    std::vector<xbase::TagDef> tags;
    const char* selected_tag;
};

// In the order the store opens them: ZQURL, ZQPROPS, ZQLINKS, ZQTITLE,
// ZQURLEXT, ZQQUEUE, ZQFILTER.
const std::vector<TableSchema>& ProjectTables();

// Width of the URL, FILE, TITLE and URLEXT piece columns.
inline constexpr size_t kTextColumnWidth = 240;

}  // namespace fw
