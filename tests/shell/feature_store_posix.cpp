// The test's feature-control store: an INI file named by the environment.
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "shell/feature_store.h"

namespace test_support {
namespace {

constexpr const char* kStoreVariable = "QUILLORY_FEATURE_CONTROL_FILE";

// The store is created with its folder on the first write.
std::filesystem::path StoreFile(const std::filesystem::path& folder) {
  return folder / "machine" / "feature_control.ini";
}

}  // namespace

TestFeatureStore::TestFeatureStore(const std::filesystem::path& folder) : m_folder(folder) {
  ::setenv(kStoreVariable, StoreFile(m_folder).c_str(), 1);
}

TestFeatureStore::~TestFeatureStore() { ::unsetenv(kStoreVariable); }

void TestFeatureStore::RefuseWrites() {
  // A plain file where the store's folder would be: it can never be made.
  const std::filesystem::path blocker = m_folder / "file";
  std::ofstream(blocker) << "x";
  ::setenv(kStoreVariable, (blocker / "store.ini").c_str(), 1);
}

std::string TestFeatureStore::Text() const {
  std::ifstream in(StoreFile(m_folder), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test_support
