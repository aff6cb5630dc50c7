// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupFetcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "e2e/LocalWebServer.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

template <typename T>
using GPtr = std::unique_ptr<T, decltype(&g_object_unref)>;

// An https server on the loopback with a certificate made for the test, which sends "/to-http"
// on to a plain http address and "/to-https" on to its own "/page".
class LocalTLSServer {
 public:
  explicit LocalTLSServer(const std::string& plainAddress) : plain_(plainAddress) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 "
        "-nodes -days 2 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
        folder_.file("key.pem") + "' -out '" + certificatePath() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      return;
    }
    GTlsCertificate* certificate = g_tls_certificate_new_from_files(
        certificatePath().c_str(), folder_.file("key.pem").c_str(), nullptr);
    if (!certificate) {
      return;
    }
    server_.reset(
        SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "tls-certificate", certificate, nullptr)));
    g_object_unref(certificate);
    soup_server_add_handler(server_.get(), nullptr, &LocalTLSServer::handle, this, nullptr);
    if (!soup_server_listen_local(server_.get(), 0,
                                  static_cast<SoupServerListenOptions>(
                                      SOUP_SERVER_LISTEN_HTTPS | SOUP_SERVER_LISTEN_IPV4_ONLY),
                                  nullptr)) {
      return;
    }
    GSList* uris = soup_server_get_uris(server_.get());
    if (uris) {
      port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    }
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }

  bool isUp() const { return port_ > 0; }
  std::string url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The test's certificate as the only authority trusted.
  GPtr<GTlsDatabase> trust() const {
    return GPtr<GTlsDatabase>(g_tls_file_database_new(certificatePath().c_str(), nullptr),
                              &g_object_unref);
  }

 private:
  std::string certificatePath() const { return folder_.file("certificate.pem"); }

  static void handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     gpointer data) {
    auto* self = static_cast<LocalTLSServer*>(data);
    const std::string asked = path;
    if (asked == "/to-http") {
      soup_server_message_set_redirect(message, SOUP_STATUS_FOUND, self->plain_.c_str());
    } else if (asked == "/to-https") {
      soup_server_message_set_redirect(message, SOUP_STATUS_FOUND, self->url("/page").c_str());
    } else {
      soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
      soup_server_message_set_response(message, "text/plain", SOUP_MEMORY_COPY, "secure", 6);
    }
  }

  TemporaryFolder folder_;
  std::string plain_;
  GPtr<SoupServer> server_{nullptr, &g_object_unref};
  int port_ = 0;
};

SoupFetcher::Answer fetch(SoupFetcher& fetcher, const std::string& url) {
  std::optional<SoupFetcher::Answer> answer;
  fetcher.get(url, 1024, [&](SoupFetcher::Answer got) { answer = std::move(got); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!answer && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  return answer ? *answer : SoupFetcher::Answer{nullptr, 0, "no answer in 30 s"};
}

std::string text(const SoupFetcher::Answer& answer) {
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(answer.body.get(), &size));
  return std::string(data, size);
}

TEST(SoupFetcher, ARedirectFromHttpsToHttpIsRefused) {
  LocalWebServer plain;
  plain.route("/page", {.contentType = "text/plain", .body = "anyone's", .extraHeaders = ""});
  LocalTLSServer secure(plain.url("/page"));
  ASSERT_TRUE(secure.isUp()) << "openssl or the TLS server failed";
  SoupFetcher fetcher(20, secure.trust().get());

  const auto followed = fetch(fetcher, secure.url("/to-https"));
  ASSERT_TRUE(followed.body) << followed.error;
  EXPECT_EQ(text(followed), "secure");

  const auto refused = fetch(fetcher, secure.url("/to-http"));
  EXPECT_FALSE(refused.body);
  EXPECT_EQ(refused.error,
            "The server sent the request on from https to an address that is not https");
  EXPECT_FALSE(plain.wasAskedFor("/page"));
}

}  // namespace
}  // namespace orvel
