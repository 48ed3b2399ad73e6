// Column indexes of the project tables, fetched once when the store opens.
// Internal to the store's implementation files.
#pragma once

#include "engine/store/project_store.h"

namespace fw {

struct ProjectStore::Columns {
    // ZQURL
    int u_id, u_level, u_min_level, u_kind, u_status, u_urlext, u_url, u_file, u_created,
        u_modified, u_grabbed, u_new, u_error, u_content;
    int u_etag;  // -1 in projects made before the column
    // ZQPROPS
    int p_url_id, p_levels, p_filter_id, p_schedule, p_auth, p_notes;
    // ZQLINKS
    int l_from, l_to;
    // ZQTITLE
    int t_url_id, t_title;
    // ZQURLEXT
    int x_url_id, x_order, x_text;
    // ZQQUEUE
    int q_url_id, q_level, q_min_level, q_levels, q_status, q_filter_id, q_parent_id, q_auth_id;
    // ZQFILTER
    int f_id, f_type, f_filter;
};

}  // namespace fw
