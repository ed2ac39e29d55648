// SPDX-License-Identifier: Apache-2.0
// Checks the SINs given as arguments with libmivaro's C++ API, and shows
// each valid one masked.
#include <mivaro/sin.h>

#include <iostream>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const mivaro::Result result = mivaro::Check(argv[i]);
    std::cout << argv[i] << ": "
              << (result.valid ? mivaro::Mask(result.number, mivaro::Style::Spaced)
                               : mivaro::Reason(result))
              << '\n';
  }
}
