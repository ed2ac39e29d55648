// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QtGlobal>

namespace mivaro::testing {

// The offscreen platform warns on every fixed-size window that it cannot pass
// size hints to a window manager it does not have. That one line is dropped so
// the warnings that remain in the test log are worth reading.
inline void SilenceOffscreenSizeHintWarning() {
  static const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg &&
            message == QLatin1String("This plugin does not support propagateSizeHints()")) {
          return;
        }
        previous(type, context, message);
      });
}

}  // namespace mivaro::testing
