// Tables shaped like the project's, for the table engine's tests and
// benchmark: the same columns, widths, tags, filters and uniqueness modes.
#pragma once

#include <vector>

#include "engine/store/xbase/definitions.h"

namespace fw::xbase::testing {

struct Shape {
    std::vector<FieldDef> fields;
    std::vector<TagDef> tags;
};

inline Shape UrlShape() {
    return {{{"ID", 'N', 10},
             {"LEVEL", 'C', 10},
             {"MINLEVEL", 'C', 1},
             {"HTML", 'C', 1},
             {"STATUS", 'C', 1},
             {"URLEXT", 'C', 1},
             {"URL", 'C', 240},
             {"FILE", 'C', 240},
             {"CREATED", 'N', 10},
             {"MODIFIED", 'N', 10},
             {"GRABBED", 'N', 10},
             {"NEW", 'N', 1},
             {"ERROR", 'N', 10},
             {"CONTENT", 'C', 50}},
            {{"ID", "ID", "", Uniqueness::kKeepRow},
             {"LEVEL", "LEVEL+MINLEVEL", "", Uniqueness::kNone},
             {"URL", "URL", "", Uniqueness::kNone},
             {"FILE", "FILE", "", Uniqueness::kNone}}};
}

inline Shape LinksShape() {
    return {{{"FROM", 'C', 10}, {"TO", 'C', 10}},
            {{"LINKS", "FROM+TO", "", Uniqueness::kRefuse}, {"TO", "TO", ".NOT.DELETED()", Uniqueness::kNone}}};
}

inline Shape QueueShape() {
    return {{{"URLID", 'N', 10},
             {"LEVEL", 'N', 10},
             {"MINLEVEL", 'N', 10},
             {"LEVELS", 'N', 10},
             {"STATUS", 'C', 1},
             {"FILTERID", 'N', 10},
             {"PARENTID", 'N', 10},
             {"AUTHID", 'N', 10}},
            {{"QUEUE", "RECNO()", ".NOT.DELETED()", Uniqueness::kKeepRow},
             {"URLID", "URLID", "", Uniqueness::kRefuse},
             {"LEVEL", "STR(LEVEL)+STR(MINLEVEL)+STR(RECNO())", ".NOT.DELETED()", Uniqueness::kKeepRow}}};
}

inline Shape PropsShape() {
    return {{{"URLID", 'N', 10},
             {"LEVELS", 'N', 10},
             {"FILTERID", 'N', 10},
             {"SCHEDULE", 'C', 240},
             {"AUTH", 'C', 240},
             {"NOTES", 'M', 10}},
            {{"URLID", "URLID", "", Uniqueness::kNone}}};
}

inline Shape FilterShape() {
    return {{{"ID", 'N', 10}, {"TYPE", 'C', 1}, {"FILTER", 'C', 240}},
            {{"ID", "STR(ID)+TYPE", ".NOT.DELETED()", Uniqueness::kNone}}};
}

inline Shape UrlExtShape() {
    return {{{"URLID", 'N', 10}, {"ORDER", 'N', 10}, {"URLEXT", 'C', 240}},
            {{"ID", "STR(URLID)+STR(ORDER)", "", Uniqueness::kNone}}};
}

}  // namespace fw::xbase::testing
