// SPDX-License-Identifier: Apache-2.0
// The control channel: a Unix-domain socket only the server's own user may use, taking one
// JSON request per line and answering each with one JSON line. Its clients are served from the
// server's loop without blocking it: a client that says nothing holds up no one.
#pragma once

#include <poll.h>
#include <rpc/rpc.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace qel::simd {

// Where the control socket of the server for `program` lives unless an option says otherwise:
// $XDG_RUNTIME_DIR/qel-simd/, else /run/qel-simd/ for root, else /tmp/qel-simd-UID/; the file
// is named after the program number in hexadecimal.
std::string defaultControlPath(rpcprog_t program);

class ControlChannel {
 public:
  // Answers a parsed request.
  using Handler = std::function<nlohmann::json(const nlohmann::json &request)>;

  static constexpr std::size_t kMaxRequest = 64 * 1024;
  static constexpr std::size_t kMaxClients = 32;

  explicit ControlChannel(Handler handler) : handler_(std::move(handler)) {}
  ~ControlChannel();
  ControlChannel(const ControlChannel &) = delete;
  ControlChannel &operator=(const ControlChannel &) = delete;

  // Creates the socket (and its directory, owner-only); false with `error` set when it cannot.
  bool open(const std::string &path, std::string &error);
  const std::string &path() const { return path_; }

  void addPollFds(std::vector<pollfd> &fds) const;
  // Takes what poll reported on the descriptors addPollFds added, in that order.
  void serve(const pollfd *fds, std::size_t count);

 private:
  struct Client {
    int fd;
    std::string input;
    std::string output;
    bool closing = false;  // close once the output is out
    bool refused = false;  // told why it is not served; what it sends is dropped until it goes
  };

  void accept();
  void readFrom(Client &client);
  void answer(Client &client, const std::string &line);
  void flush(Client &client);

  Handler handler_;
  std::string path_;
  int listener_ = -1;
  std::vector<Client> clients_;
};

}  // namespace qel::simd
