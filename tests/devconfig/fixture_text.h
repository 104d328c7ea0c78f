// Canned device answers kept beside the tests.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vdz::test {

inline std::string ReadFixture(const std::string& name) {
  const std::string path = std::string(VDZ_DEVCONFIG_FIXTURES) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "missing fixture " << path;
    return {};
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A minimal answer: `body` placed in the MESSAGE_BODY of a document rooted in `root`.
inline std::string AnswerWithBody(const std::string& body, const std::string& root = "XML_VORTAN") {
  return "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n<" + root +
         ">\n<MESSAGE_HEADER Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\" Msg_code=\"3\" "
         "Msg_flag=\"0\" />\n<MESSAGE_BODY>\n" +
         body + "\n</MESSAGE_BODY>\n</" + root + ">";
}

// True when every byte of `field` after its first NUL is zero.
template <std::size_t N>
bool TailIsZero(const char (&field)[N]) {
  std::size_t i = 0;
  while (i < N && field[i] != '\0')
    ++i;
  for (; i < N; ++i) {
    if (field[i] != '\0')
      return false;
  }
  return true;
}

}  // namespace vdz::test
