// Turns a parsed query expression into a Xapian query against one index:
// wildcards and ranges are expanded over the index's term list here, since
// only the index knows which words exist.
//
// The database holds no word positions (position_store.h): a phrase or
// proximity group becomes the AND of its words, and a PositionFilter
// (position_filter.h) keeps the documents whose words also stand right.
#pragma once

#include <xapian.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/search/query_expression.h"

namespace fw {

// The indexed words each word, wildcard and range of a query covers.
using LeafWords = std::unordered_map<const QueryNode*, std::vector<std::string>>;

// Expands the leaves of the tree under `root` (which must outlive the
// result). A word covers itself, indexed or not. Throws Xapian::Error when
// the index cannot be read.
LeafWords ExpandLeaves(const QueryNode& root, const Xapian::Database& db);

// The query for `node`, whose leaves `words` expanded. Wildcards and ranges
// become synonym sets of their words (nothing when they cover none); inside
// phrases and proximity groups, alternatives of those words. A group with
// expendable words is the alternative of every group that leaves that many
// words out.
Xapian::Query BuildXapianQuery(const QueryNode& node, const LeafWords& words);

// True when `node` is a phrase or proximity group, whose words' positions
// count.
bool IsPositionalGroup(const QueryNode& node);

// True when a phrase or proximity group occurs under `node`.
bool HasPositionalGroup(const QueryNode& node);

// Calls `visit` with each choice of `keep` of the indexes 0..n-1, ascending,
// in lexicographic order, until it returns false. False when it did.
bool ForEachChoice(size_t n, size_t keep,
                   const std::function<bool(const std::vector<size_t>&)>& visit);

// True when `word` matches `pattern`, in which each "*" stands for any run
// of bytes (including none).
bool MatchesWildcard(std::string_view pattern, std::string_view word);

}  // namespace fw
