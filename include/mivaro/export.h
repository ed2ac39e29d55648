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
#else
#define MIVARO_EXPORT
#endif

#endif /* MIVARO_EXPORT_H */
