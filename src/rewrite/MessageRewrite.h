// Marking a spam message by writing a rewritten copy of its file; the file
// itself is never changed. Both routines read and write through the line
// files (suite/util/LineFile.h): a line comes with its line end, and the
// empty line that ends the header is exactly "\r\n".
//
// ChangeSubject(message, output, subject): copies MESSAGE to OUTPUT with every
// Subject field of the header (a line starting "subject:" in any case) and its
// continuation lines (starting with a blank or a tab) replaced by one line
// "Subject: SUBJECT\r\n". A header without a Subject field gets that line as
// its last field, just before the empty line; a message without an empty
// line gets none added. Everything after the header is copied unchanged.
// A null SUBJECT reads as an empty text.
//   -1 no memory for the replacement line, -3 the message file does not open
//   (or cannot be read to its end), -4 the output cannot be created, -5 a line
//   cannot be written (or the output cannot be flushed when it is closed).
//
// AddXHeader(message, output): copies MESSAGE to OUTPUT with
// "X-Spam-Status: YES\r\n" written once, just before the first "\r\n" line,
// even when the header already has such a field; a message without an empty
// line is copied without it.
//   -2 the message file does not open (or cannot be read to its end), -3 the
//   output cannot be created, -4 a line cannot be written (or flushed).
//
// Failure modes: a failure is logged at level 1 under "Bayesian filter" as
// "ChangeSubject - Catch error: <code>" or "AddXHeader - Catch error: <code>"
// and the result is false; a partly written output stays where it is. A read
// error fails the copy rather than passing on a truncated message.
#pragma once

namespace locmail::rewrite {

bool ChangeSubject(const char* messagePath, const char* outputPath, const char* subjectText);
bool AddXHeader(const char* messagePath, const char* outputPath);

} // namespace locmail::rewrite
