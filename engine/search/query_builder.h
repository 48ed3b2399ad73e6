// Turns a parsed query expression into a Xapian query against one index:
// wildcards and ranges are expanded over the index's term list here, since
// only the index knows which words exist.
#pragma once

#include <xapian.h>

#include "engine/search/query_expression.h"

namespace fw {

// The query for `node`. Wildcards and ranges become synonym sets of the
// indexed words they cover (nothing when they cover none); inside phrases and
// proximity groups, alternatives of those words. A group with expendable
// words is the alternative of every group that leaves that many words out.
// Throws Xapian::Error when the index cannot be read.
Xapian::Query BuildXapianQuery(const QueryNode& node, const Xapian::Database& db);

// True when `word` matches `pattern`, in which each "*" stands for any run
// of bytes (including none).
bool MatchesWildcard(std::string_view pattern, std::string_view word);

}  // namespace fw
