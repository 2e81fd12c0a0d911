#pragma once
// Posts forms over HTTPS through WinHTTP: one request, the answer awaited
// and dropped. Nothing goes over plain HTTP, where anyone on the way could
// read what the form carries.
#include <vector>

#include "core/ts_text.h"

namespace ts {

struct FormField {
  Text name;
  Text value;
};

// The parts of an "https://host[:port]/path" address; false for any other,
// plain "http://" included.
struct HttpsAddress {
  Text name;  // the host alone
  int port = 443;
  Text path = "/";
};
bool SplitHttpsAddress(const Text& address, HttpsAddress& parts);

// The body of a multipart/form-data post with the boundary "AaB03x".
Text MultipartFormBody(const std::vector<FormField>& fields);

// Sends the form to the address over TLS, with the server's certificate
// checked as the system checks it. False when it could not be sent, the
// address included; the answer is not looked at.
bool PostForm(const Text& address, const std::vector<FormField>& fields);

}  // namespace ts
