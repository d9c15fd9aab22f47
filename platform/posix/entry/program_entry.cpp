// The POSIX entry point: the command line arrives as UTF-8 bytes and goes on in UTF-16.
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

int main(int argc, char* argv[]) {
  std::vector<std::u16string> arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(platform::posix::fromUtf8(argv[i], std::strlen(argv[i])));
  std::vector<char16_t*> vector;
  for (auto& argument : arguments) vector.push_back(argument.data());
  vector.push_back(nullptr);
  return wmain(argc, vector.data());
}
