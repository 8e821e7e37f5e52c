// Shared pieces of the fuzz targets: a private scratch folder the inputs are
// written into (the loaders read files), and the seed inputs of each target.
//
// Every target defines fuzzSeeds() beside LLVMFuzzerTestOneInput. Run with
// TRELVANE_FUZZ_SEEDS=<folder>, a target writes its seeds there and exits
// (scripts/fuzz makes the seed corpora that way, from the shipped data files
// and the texts the writers produce).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trv::fuzz {

// The seed inputs of the target (defined by each target).
std::vector<std::string> fuzzSeeds();

// The process's scratch folder, emptied: every input starts from a folder
// holding nothing but what the input writes.
const std::string& freshFolder();

// Writes bytes to <scratch>/name and returns the path.
std::string writeInput(const std::string& name, const uint8_t* data, size_t size);
std::string writeInput(const std::string& name, const std::string& bytes);

// The content of a shipped program-folder file (data/<name>); empty when missing.
std::string shippedFile(const std::string& name);

// Ends the process with a message when a property of the code under test is
// broken (libFuzzer keeps the input that did it).
void require(bool holds, const char* what);

} // namespace trv::fuzz
