// BounceMimeMessage: the bounce service the anti-spam code calls to return a
// refused message to its sender.
//
// BounceMimeMessage(queuePath, from, reasons, 0, 0) sends returned mail for
// the queued message QUEUEPATH (the queue file path without its extension; the
// text is QUEUEPATH + ".msg") to FROM's address, the reason being the texts of
// REASONS joined in order. It is the same delivery status notification that
// CMimeMsg::Bounce sends (suite/vexclass/ReturnedMail.h); a record whose
// channel field is the kind "DSN" reports the status 5.7.1 (message refused).
// The two trailing arguments are reserved; callers pass 0.
//
// Returns 0 when the bounce was queued on "localout", and also when FROM is
// the null reverse path: returned mail is never answered, so nothing is sent
// and only a level-5 line is logged under "Utility". Any failure (the queued
// message cannot be read, a bad sender address, the queue not initialised or
// refusing) returns the CMimeMsgException code, which is never 0, after a
// level-1 line with its message text under "Utility". Nothing throws but
// std::bad_alloc.
#pragma once

#include "suite/util/StringChain.h"

struct _envFrom;

int BounceMimeMessage(const char* queuePath, const _envFrom* from, const locmail::StringChain& reasons,
                      int reserved1, int reserved2);
