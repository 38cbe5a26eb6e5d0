// Marks the classes that liblocmail.so exports; everything else stays hidden.
#pragma once

#define LOCMAIL_EXPORT __attribute__((visibility("default")))
