// Documents for the tests that read them: a scratch folder to write them in, and the files that
// every reader of Vulkan Profiles documents ("-profile", "-diff") must refuse.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A new folder of the test's own under the test's temporary folder, with a '/' at the end.
std::string scratch_folder();

// Writes the text to the file and returns its path.
std::string write_file(const std::string& path, const std::string& text);

// The whole file, or "" when it cannot be read.
std::string read_file(const std::string& path);

// An array of count empty objects: three bytes a value, the most values per byte a document can
// hold.
std::string empty_objects(size_t count);

// A file that is no profiles document, and the line a reader gives for it after the file's name
// ("brisol: PATH: " + why). "missing.json" is not to be written.
struct RefusedDocument {
    const char* name;
    std::string text;
    std::string why;
};

// One of each way a file fails: it cannot be opened, is not JSON, exceeds a bound of the reader, or
// is JSON but no profiles document. The position of malformed JSON is where the parser stopped:
// the last byte of the bad token, or the column just past the end of a truncated text.
std::vector<RefusedDocument> refused_documents();
