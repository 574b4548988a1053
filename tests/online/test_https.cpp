// Pages over TLS against loopback servers: the fetcher verifies the server's
// certificate against the system's trust store (a self-signed one is refused
// before any request is sent, also at the end of a redirect), and a TLS
// handshake that stalls or is answered in plain text fails like any broken
// answer. A client that trusts the test certificate shows that the server
// itself works, so a refusal is the verification and nothing else.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "online/FetchOutcome.h"
#include "support/RawServer.h"
#include "support/TestSupport.h"

namespace {

using namespace std::chrono_literals;
using onlinetest::ExpectFailureByTheWaitLimit;
using onlinetest::ExpectQuickFailure;
using onlinetest::Fetch;
using testsupport::RawServer;

struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct X509Free {
  void operator()(X509* c) const { X509_free(c); }
};
struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// A self-signed certificate for 127.0.0.1 and localhost, valid from a day ago
// for a year, with its key; written as PEM files into `dir`.
struct SelfSigned {
  std::string certFile;
  std::string keyFile;
};

SelfSigned MakeSelfSigned(const std::filesystem::path& dir) {
  std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, X509Free> cert(X509_new());
  if (!key || !cert) throw std::runtime_error("cannot make a key");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24 * 3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
  for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                            std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr) throw std::runtime_error("cannot make an extension");
    X509_add_ext(cert.get(), ext, -1);
    X509_EXTENSION_free(ext);
  }
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) throw std::runtime_error("cannot sign");

  SelfSigned out{(dir / "cert.pem").string(), (dir / "key.pem").string()};
  std::unique_ptr<std::FILE, FileClose> c(std::fopen(out.certFile.c_str(), "w"));
  std::unique_ptr<std::FILE, FileClose> k(std::fopen(out.keyFile.c_str(), "w"));
  if (!c || !k || PEM_write_X509(c.get(), cert.get()) == 0 ||
      PEM_write_PrivateKey(k.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 0) {
    throw std::runtime_error("cannot write the certificate");
  }
  return out;
}

// An https server on 127.0.0.1 with the certificate above, counting the
// requests that reach it.
class TlsServer {
 public:
  explicit TlsServer(const SelfSigned& files)
      : server_(files.certFile.c_str(), files.keyFile.c_str()) {
    if (!server_.is_valid()) throw std::runtime_error("cannot set up TLS");
    server_.Get("/page", [this](const httplib::Request&, httplib::Response& res) {
      ++requests_;
      res.set_content("secure page", "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(2ms);
  }
  ~TlsServer() {
    server_.stop();
    thread_.join();
  }
  std::string url(std::string_view host = "127.0.0.1") const {
    return "https://" + std::string(host) + ":" + std::to_string(port_) + "/page";
  }
  int requests() const { return requests_.load(); }

 private:
  httplib::SSLServer server_;
  std::atomic<int> requests_{0};
  int port_ = 0;
  std::thread thread_;
};

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// A plain libcurl GET that trusts `caFile`: the server works for a client
// that knows its certificate.
std::string FetchTrusting(const std::string& url, const std::string& caFile) {
  std::string body;
  CURL* h = curl_easy_init();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, 10000L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  CURLcode rc = curl_easy_perform(h);
  curl_easy_cleanup(h);
  return rc == CURLE_OK ? body : "failed: " + std::string(curl_easy_strerror(rc));
}

TEST(Https, AnUntrustedCertificateIsRefusedBeforeTheRequest) {
  testsupport::TempDir dir;
  SelfSigned files = MakeSelfSigned(dir.path());
  TlsServer server(files);

  // By address and by name: both are in the certificate, which is trusted by
  // nobody but the control client.
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    ExpectQuickFailure(Fetch(server.url(host)));
  }
  EXPECT_EQ(server.requests(), 0) << "a request went to a server whose certificate failed";

  EXPECT_EQ(FetchTrusting(server.url(), files.certFile), "secure page");
  EXPECT_EQ(server.requests(), 1);
}

TEST(Https, ARedirectToAnUntrustedServerIsRefused) {
  testsupport::TempDir dir;
  TlsServer secure(MakeSelfSigned(dir.path()));
  const std::string target = secure.url();
  RawServer plain([&target](int fd, RawServer&) {
    RawServer::ReadRequest(fd);
    RawServer::Send(fd,
                    "HTTP/1.1 302 Found\r\nLocation: " + target + "\r\nContent-Length: 0\r\n\r\n");
  });
  ExpectQuickFailure(Fetch(plain.url()));
  EXPECT_EQ(plain.Connections(), 1);
  EXPECT_EQ(secure.requests(), 0);
}

TEST(Https, BrokenHandshakes) {
  // No answer to the client's hello: the 3 s rule, as for any silent server.
  RawServer silent([](int, RawServer& self) { self.Pause(30s); });
  std::string url = "https://127.0.0.1:" + std::to_string(silent.port()) + "/";
  ExpectFailureByTheWaitLimit(Fetch(url));

  // A plain-text answer, and a reset, where the server's hello should be.
  RawServer plainText([](int fd, RawServer&) {
    RawServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage");
  });
  ExpectQuickFailure(Fetch("https://127.0.0.1:" + std::to_string(plainText.port()) + "/"));
  RawServer reset([](int fd, RawServer&) { RawServer::Reset(fd); });
  ExpectQuickFailure(Fetch("https://127.0.0.1:" + std::to_string(reset.port()) + "/"));
}

}  // namespace
