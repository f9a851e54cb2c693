// One HTTP request for a page, answered with the page as code page 936 text.
//
// Each call makes its own request with a fixed set of default header lines
// (Referer, Accept, Accept-Language, Content-Type) that the caller has not
// supplied, reads the whole answer, reports its raw header block, the cookies
// it sets and its Location, follows a "301 Moved" answer itself and converts
// a UTF-8 page to code page 936. It blocks until the answer is read; a server
// that falls silent for 30 s, or a body beyond 64 MiB, counts as a failed
// read. The result is empty when the request cannot be made at all (no
// usable host or port); the arguments are then left untouched. A server that
// cannot be reached or answers nothing is a failed send: the arguments are
// assigned as for an empty answer with no header lines.
#pragma once

#include <optional>

#include "web/text.h"

namespace vorpane {

// The full form. `method` 1 sends POST, anything else GET; a body goes along
// whenever `method` is not 0: `body_bytes`, filled from `body_text` when
// empty. `cookies` given: the client's own cookie store is neither read nor
// filled, a non-empty text goes as a Cookie line and afterwards holds the
// merged cookie set; absent: the process-wide store is used. `extra_headers`
// (lines joined by CR LF) gets the default lines appended. `forbid_redirect`
// stops the client from following redirects itself. `proxy` ("host:port")
// given and not empty: used for http requests only. The out arguments receive
// the cookies the answer sets ("; " between pieces), the value of its
// Location line (empty without one) and its raw header block (empty when it
// is 5000 bytes or longer, as it then leaves no room in 5000 for its NUL).
Text fetch_page(TextView address, int method, TextView body_text, std::optional<Text>& cookies,
                Text& cookies_received, Text& extra_headers, Text& redirect_address,
                bool forbid_redirect, Bytes& body_bytes, const std::optional<Text>& proxy,
                Text& response_headers);

// The group scan's form: no body, the default header lines, the client's own
// cookie store and redirect following, no proxy; only the page is kept.
Text fetch_page(TextView address, int method = 0);

}  // namespace vorpane
