#include "engine/search/query_builder.h"

#include <string>
#include <vector>

namespace fw {

namespace {

using Terms = std::vector<std::string>;

Terms WildcardTerms(const std::string& pattern, const Xapian::Database& db) {
    const std::string prefix = pattern.substr(0, pattern.find('*'));
    Terms terms;
    for (auto it = db.allterms_begin(prefix); it != db.allterms_end(prefix); ++it) {
        const std::string term = *it;
        if (MatchesWildcard(pattern, term)) terms.push_back(term);
    }
    return terms;
}

Terms RangeTerms(const QueryNode& range, const Xapian::Database& db) {
    Terms terms;
    auto it = db.allterms_begin();
    const auto end = db.allterms_end();
    if (range.numeric) {
        // Numbers sort among the terms that start with a digit, but in text
        // order: every one of those has to be looked at.
        for (it.skip_to("0"); it != end; ++it) {
            const std::string term = *it;
            if (term[0] > '9') break;
            if (IsNumber(term) && CompareNumbers(term, range.text) >= 0 &&
                CompareNumbers(term, range.high) <= 0) {
                terms.push_back(term);
            }
        }
        return terms;
    }
    for (it.skip_to(range.text); it != end; ++it) {
        const std::string term = *it;
        if (term > range.high) break;
        terms.push_back(term);
    }
    return terms;
}

void Expand(const QueryNode& node, const Xapian::Database& db, LeafWords* words) {
    switch (node.kind) {
        case QueryNode::Kind::Term: (*words)[&node] = {node.text}; return;
        case QueryNode::Kind::Wildcard: (*words)[&node] = WildcardTerms(node.text, db); return;
        case QueryNode::Kind::Range: (*words)[&node] = RangeTerms(node, db); return;
        default:
            for (const QueryNode& child : node.children) Expand(child, db, words);
    }
}

const Terms& WordsOf(const QueryNode& leaf, const LeafWords& words) {
    static const Terms none;
    const auto it = words.find(&leaf);
    return it == words.end() ? none : it->second;
}

// One item of a phrase or proximity group: a word, or the alternative of
// the words a wildcard covers. Empty when it covers none.
Xapian::Query GroupItem(const QueryNode& item, const LeafWords& words) {
    const Terms& terms = WordsOf(item, words);
    return Xapian::Query(Xapian::Query::OP_OR, terms.begin(), terms.end());
}

// All of the items; nothing when one of them covers no word.
Xapian::Query AllOf(const std::vector<Xapian::Query>& items) {
    for (const Xapian::Query& item : items) {
        if (item.empty()) return Xapian::Query::MatchNothing;
    }
    return Xapian::Query(Xapian::Query::OP_AND, items.begin(), items.end());
}

Xapian::Query Group(const QueryNode& node, const LeafWords& words) {
    std::vector<Xapian::Query> items;
    for (const QueryNode& child : node.children) items.push_back(GroupItem(child, words));
    if (node.expendable == 0) return AllOf(items);
    std::vector<Xapian::Query> alternatives;
    ForEachChoice(items.size(), items.size() - node.expendable,
                  [&](const std::vector<size_t>& chosen) {
                      std::vector<Xapian::Query> subset;
                      for (size_t index : chosen) subset.push_back(items[index]);
                      Xapian::Query alternative = AllOf(subset);
                      if (!alternative.empty()) alternatives.push_back(std::move(alternative));
                      return true;
                  });
    return Xapian::Query(Xapian::Query::OP_OR, alternatives.begin(), alternatives.end());
}

}  // namespace

LeafWords ExpandLeaves(const QueryNode& root, const Xapian::Database& db) {
    LeafWords words;
    Expand(root, db, &words);
    return words;
}

bool IsPositionalGroup(const QueryNode& node) {
    return node.kind == QueryNode::Kind::Phrase || node.kind == QueryNode::Kind::Near;
}

bool HasPositionalGroup(const QueryNode& node) {
    if (IsPositionalGroup(node)) return true;
    for (const QueryNode& child : node.children) {
        if (HasPositionalGroup(child)) return true;
    }
    return false;
}

bool ForEachChoice(size_t n, size_t keep,
                   const std::function<bool(const std::vector<size_t>&)>& visit) {
    if (keep > n) return true;
    std::vector<size_t> chosen(keep);
    for (size_t i = 0; i < keep; ++i) chosen[i] = i;
    for (;;) {
        if (!visit(chosen)) return false;
        // The next combination in lexicographic order.
        size_t i = keep;
        while (i > 0 && chosen[i - 1] == n - keep + i - 1) --i;
        if (i == 0) return true;
        ++chosen[i - 1];
        for (size_t j = i; j < keep; ++j) chosen[j] = chosen[j - 1] + 1;
    }
}

bool MatchesWildcard(std::string_view pattern, std::string_view word) {
    // Greedy matching with one point to return to: the last "*" seen.
    size_t p = 0, w = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (w < word.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = w;
        } else if (p < pattern.size() && pattern[p] == word[w]) {
            ++p, ++w;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            w = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

Xapian::Query BuildXapianQuery(const QueryNode& node, const LeafWords& words) {
    switch (node.kind) {
        case QueryNode::Kind::Term: return Xapian::Query(node.text);
        case QueryNode::Kind::Wildcard:
        case QueryNode::Kind::Range: {
            const Terms& terms = WordsOf(node, words);
            return Xapian::Query(Xapian::Query::OP_SYNONYM, terms.begin(), terms.end());
        }
        case QueryNode::Kind::Phrase:
        case QueryNode::Kind::Near: return Group(node, words);
        case QueryNode::Kind::And:
        case QueryNode::Kind::Or: {
            std::vector<Xapian::Query> operands;
            for (const QueryNode& child : node.children) {
                operands.push_back(BuildXapianQuery(child, words));
            }
            const auto op = node.kind == QueryNode::Kind::And ? Xapian::Query::OP_AND
                                                              : Xapian::Query::OP_OR;
            return Xapian::Query(op, operands.begin(), operands.end());
        }
    }
    return Xapian::Query::MatchNothing;
}

}  // namespace fw
