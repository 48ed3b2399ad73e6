#include "engine/store/table_schema.h"

#include "engine/store/url_record.h"

namespace fw {

using xbase::FieldDef;
using xbase::TagDef;
using xbase::Uniqueness;

const std::vector<TableSchema>& ProjectTables() {
    // Tags that must hold equal keys (several URLs on one level, URLs sharing
    // their first 240 characters, rows without a file, filters of one set and
    // type) are not unique; only ID, LINKS and the queue's URLID are.
    static const std::vector<TableSchema> tables = {
        {TableId::kUrl,
         "ZQURL",
         {{"ID", 'N', 10}, {"LEVEL", 'C', 10}, {"MINLEVEL", 'C', 1}, {"HTML", 'C', 1},
          {"STATUS", 'C', 1}, {"URLEXT", 'C', 1}, {"URL", 'C', 240}, {"FILE", 'C', 240},
          {"CREATED", 'N', 10}, {"MODIFIED", 'N', 10}, {"GRABBED", 'N', 10}, {"NEW", 'N', 1},
          {"ERROR", 'N', 10}, {"CONTENT", 'C', 50},
          // Added later: projects made before it have no ETAG column and
          // keep no entity tags.
          {"ETAG", 'C', static_cast<int>(kEtagWidth)}},
         {{"ID", "ID", "", Uniqueness::kKeepRow},
          {"LEVEL", "LEVEL+MINLEVEL", "", Uniqueness::kNone},
          {"URL", "URL", "", Uniqueness::kNone},
          {"FILE", "FILE", "", Uniqueness::kNone}},
         "ID"},
        {TableId::kProps,
         "ZQPROPS",
         {{"URLID", 'N', 10}, {"LEVELS", 'N', 10}, {"FILTERID", 'N', 10}, {"SCHEDULE", 'C', 240},
          {"AUTH", 'C', 240}, {"NOTES", 'M', 10}},
         {{"URLID", "URLID", "", Uniqueness::kNone}},
         "URLID"},
        {TableId::kLinks,
         "ZQLINKS",
         {{"FROM", 'C', 10}, {"TO", 'C', 10}},
         {{"LINKS", "FROM+TO", "", Uniqueness::kRefuse},
          {"TO", "TO", ".NOT.DELETED()", Uniqueness::kNone}},
         "LINKS"},
        {TableId::kTitle,
         "ZQTITLE",
         {{"URLID", 'N', 10}, {"TITLE", 'C', 240}},
         {{"URLID", "URLID", "", Uniqueness::kNone}},
         "URLID"},
        {TableId::kUrlExt,
         "ZQURLEXT",
         {{"URLID", 'N', 10}, {"ORDER", 'N', 10}, {"URLEXT", 'C', 240}},
         {{"ID", "STR(URLID)+STR(ORDER)", "", Uniqueness::kNone}},
         "ID"},
        {TableId::kQueue,
         "ZQQUEUE",
         {{"URLID", 'N', 10}, {"LEVEL", 'N', 10}, {"MINLEVEL", 'N', 10}, {"LEVELS", 'N', 10},
          {"STATUS", 'C', 1}, {"FILTERID", 'N', 10}, {"PARENTID", 'N', 10}, {"AUTHID", 'N', 10}},
         {{"QUEUE", "RECNO()", ".NOT.DELETED()", Uniqueness::kKeepRow},
          {"URLID", "URLID", "", Uniqueness::kRefuse},
          {"LEVEL", "STR(LEVEL)+STR(MINLEVEL)+STR(RECNO())", ".NOT.DELETED()",
           Uniqueness::kKeepRow}},
         "LEVEL"},
        {TableId::kFilter,
         "ZQFILTER",
         {{"ID", 'N', 10}, {"TYPE", 'C', 1}, {"FILTER", 'C', 240}},
         {{"ID", "STR(ID)+TYPE", ".NOT.DELETED()", Uniqueness::kNone}},
         "ID"},
    };
    return tables;
}

}  // namespace fw
