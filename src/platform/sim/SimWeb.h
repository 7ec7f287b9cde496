#pragma once
#include <map>
#include <string>
#include <vector>

namespace surfdeck {

// A simulated web: the markup served for each address. Addresses beginning with "file:"
// (and plain absolute paths, as a browser takes them) are read from disk; "about:blank"
// is an empty page; any other unknown address gives a small not-found page.
class SimWeb {
  public:
    void setPage(const std::string& address, std::string markup);
    void removePage(const std::string& address);

    // The page for address, as a browser would receive it; noted in fetched().
    std::string fetch(const std::string& address);
    // Every address fetched so far, in order.
    const std::vector<std::string>& fetched() const { return fetched_; }

    // The addresses of the frames a page declares (src of its frame and iframe tags),
    // in document order.
    static std::vector<std::string> frameAddresses(const std::string& markup);
    // The local path of a file address, or empty when address is not one.
    static std::string filePath(const std::string& address);
    static std::string notFoundPage(const std::string& address);

  private:
    std::map<std::string, std::string> pages_;
    std::vector<std::string> fetched_;
};

}  // namespace surfdeck
