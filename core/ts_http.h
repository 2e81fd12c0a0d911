#pragma once
// A small HTTP client for posting forms: one request, one connection, the
// answer read and dropped.
#include <vector>

#include "core/ts_text.h"

namespace ts {

struct FormField {
  Text name;
  Text value;
};

// The parts of an "http://host[:port]/path" address; false for any other.
struct HttpAddress {
  Text host;  // as the address writes it, with its port when it has one
  Text name;  // the host alone, for the name lookup
  Text port = "80";
  Text path = "/";
};
bool SplitHttpAddress(const Text& address, HttpAddress& parts);

// The body of a multipart/form-data post with the boundary "AaB03x".
Text MultipartFormBody(const std::vector<FormField>& fields);
// The whole request: request line, headers and body.
Text FormPostRequest(const HttpAddress& address, const Text& body);

// Sends the form to the address. False when it could not be sent; the
// answer is not looked at.
bool PostForm(const Text& address, const std::vector<FormField>& fields);

}  // namespace ts
