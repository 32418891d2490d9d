// The one window that counts the messages which arrived while ten pop-ups were open.
#pragma once

#include <cstddef>

#include "components/Form.h"

namespace parvox {

class MoreMessagesNotice : public Form {
 public:
  enum ItemId : int { kCmdOK = 100, kCmdLog, kLabText };

  // Creates the window and shows it in front without activating it.
  bool Open(int cascade);
  // "N more messages arrived. See the log."
  void SetCount(std::size_t count);

 protected:
  void OnCommand(int id, int code) override;
  int DefaultButton() const override { return kCmdOK; }
};

}  // namespace parvox
