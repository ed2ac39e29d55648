/* SPDX-License-Identifier: Apache-2.0 */
/**
 * @file export.h
 * @brief Marks what the shared library exports: its public API and nothing
 * else (it is built with every other symbol hidden).
 */
#ifndef MIVARO_EXPORT_H
#define MIVARO_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define MIVARO_EXPORT __attribute__((visibility("default")))
/** Keeps a member of an exported class out of the library's interface. */
#define MIVARO_NO_EXPORT __attribute__((visibility("hidden")))
#else
#define MIVARO_EXPORT
#define MIVARO_NO_EXPORT
#endif

#endif /* MIVARO_EXPORT_H */
