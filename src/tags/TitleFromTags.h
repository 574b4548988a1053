// Title and singer of a local audio file for the playlist row and the title
// labels: ID3v1, else ID3v2, else the WMA header objects, else the file name and
// "Lyrano". Runs on the caller's thread; one file at a time.
#pragma once

#include <functional>
#include <string>

// `path`, `title` and `singer` in the local code page. Never throws: any failure
// leaves the values found so far. A read error of the file system or a tag too
// large for memory, met by one of the ID3 readers, goes to the installed error
// reporter before the next reader is tried; corrupt or missing tags are quiet.
void TitleFromTags(const std::string& path, std::string& title, std::string& singer);

// Installs the function that shows a tag reader's failure (message in the local
// code page; the window shows an "Error" box, the CLI writes to stderr). An
// empty function removes it; with none installed nothing is shown.
void SetTagErrorReporter(std::function<void(const std::string& message)> reporter);
