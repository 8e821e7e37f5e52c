// The remote view's status page: its HTML, script and style, served from
// fixed routes. The script polls /api/status and /api/blocks and draws the
// group activity per block and the plate heat map of the last hour.
#pragma once

namespace trv::remote {

extern const char* const kPageHtml;
extern const char* const kPageScript;
extern const char* const kPageStyle;

} // namespace trv::remote
