// SPDX-License-Identifier: Apache-2.0
// Redacts the SINs in standard input onto standard output as the text
// streams through (UTF-8, or UTF-16 with a byte-order mark), keeping every
// other byte, and says on standard error how many it hid.
#include <mivaro/scan.h>
#include <mivaro/source.h>
#include <unistd.h>

#include <iostream>

int main() {
  const auto input = mivaro::OpenDescriptor(STDIN_FILENO, "-");
  const auto stream = input->Next();
  if (!stream || stream->kind != mivaro::StreamKind::Text) {
    std::cerr << "redact: the input is not text\n";
    return 2;
  }
  mivaro::Redactor redactor;
  if (!redactor.Redact(*stream->text, [](std::string_view text) { std::cout << text; })) {
    std::cerr << "redact: " << stream->text->Error() << '\n';
    return 2;
  }
  std::cerr << "redact: SINs hidden: " << redactor.Redacted() << '\n';
}
