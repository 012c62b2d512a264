// S2: country outlines as S2Polygons in a MutableS2ShapeIndex, airports in S2PointIndexes.
// S2 draws outline edges as great-circle arcs, not as straight lines in longitude and
// latitude, so far from vertices its borders differ a little from the file's.
#include <s2/mutable_s2shape_index.h>
#include <s2/s2builder.h>
#include <s2/s2builderutil_s2polygon_layer.h>
#include <s2/s2builderutil_snap_functions.h>
#include <s2/s2closest_point_query.h>
#include <s2/s2contains_point_query.h>
#include <s2/s2latlng.h>
#include <s2/s2point_index.h>
#include <s2/s2polygon.h>

#include <algorithm>

#include "peer_data.h"

namespace peers {
namespace {

S2Point point(double lat, double lng) { return S2LatLng::FromDegrees(lat, lng).ToPoint(); }

// A point index with its reusable query, which holds a pointer to it: neither may move.
struct Points {
  Points(const PeerData& d, const std::vector<int32_t>& ids) {
    for (const int32_t id : ids) index.Add(point(d.lat[id], d.lng[id]), id);
    query.Init(&index);
  }
  S2PointIndex<int32_t> index;
  S2ClosestPointQuery<int32_t> query;
};

class S2Peer final : public Peer {
 public:
  S2Peer(const std::string& dir, const std::vector<std::string>& set_codes) {
    const PeerData d = load(dir);
    lat_ = d.lat;
    lng_ = d.lng;
    // The file reads its rings by even-odd parity: ring orientation means nothing, holes
    // come in either direction, and coastline rings may cross themselves. S2 reads a loop's
    // interior on its left, so directed loops from these rings would turn some of them
    // inside out. The rings go in as undirected edges instead: S2Builder splits the
    // crossings, cancels edges drawn twice (spikes, the seams at +-180 degrees), and the
    // polygon layer picks for each piece the side covering less than a hemisphere and nests
    // the loops, which is the file's parity. Vertices snap to 1e-7 degrees, the file's
    // precision.
    S2Builder::Options options(s2builderutil::IntLatLngSnapFunction(7));
    options.set_split_crossing_edges(true);
    const s2builderutil::S2PolygonLayer::Options layer(S2Builder::EdgeType::UNDIRECTED);
    for (const Feature& f : d.features) {
      auto poly = std::make_unique<S2Polygon>();
      poly->set_s2debug_override(S2Debug::DISABLE);
      S2Builder builder(options);
      builder.StartLayer(std::make_unique<s2builderutil::S2PolygonLayer>(poly.get(), layer));
      for (const auto& rings : f.polygons) {
        for (const Ring& r : rings) {
          std::vector<S2Point> v;
          for (size_t j = 0; j + 1 < r.x.size(); ++j) v.push_back(point(r.y[j], r.x[j]));
          builder.AddLoop(v);
        }
      }
      S2Error error;
      if (!builder.Build(&error)) throw std::runtime_error(f.code + ": " + error.text());
      const int id = index_.Add(std::make_unique<S2Polygon::OwningShape>(std::move(poly)));
      if (static_cast<size_t>(id) >= codes_.size()) codes_.resize(id + 1);
      codes_[id] = f.code;
    }
    index_.ForceBuild();
    contains_ = std::make_unique<S2ContainsPointQuery<MutableS2ShapeIndex>>(&index_);
    std::vector<int32_t> all(d.lat.size());
    for (size_t j = 0; j < all.size(); ++j) all[j] = static_cast<int32_t>(j);
    world_ = std::make_unique<Points>(d, all);
    for (const auto& [code, ids] : d.by_country)
      by_country_.emplace(code, std::make_unique<Points>(d, ids));
    set_ = std::make_unique<Points>(d, set_ids(d, set_codes));
  }

  std::string_view country(double lat, double lng) override {
    std::string_view hit;
    contains_->VisitContainingShapes(point(lat, lng), [&](S2Shape* s) {
      hit = codes_[s->id()];
      return false;
    });
    return hit;
  }
  int32_t nearest(double lat, double lng) override {
    int32_t id = -1;
    knn(*world_, lat, lng, 1, &id);
    return id;
  }
  int32_t nearest_in(const std::string& code, double lat, double lng) override {
    const auto it = by_country_.find(code);
    int32_t id = -1;
    if (it != by_country_.end()) knn(*it->second, lat, lng, 1, &id);
    return id;
  }
  size_t set_nearest5(double lat, double lng, int32_t* out) override {
    return knn(*set_, lat, lng, 5, out);
  }

 private:
  size_t knn(Points& p, double lat, double lng, int k, int32_t* out) {
    p.query.mutable_options()->set_max_results(k);
    S2ClosestPointQuery<int32_t>::PointTarget target(point(lat, lng));
    p.query.FindClosestPoints(&target, &results_);
    ranked_.clear();
    for (const auto& r : results_) {
      ranked_.emplace_back(haversine_km(lat, lng, lat_[r.data()], lng_[r.data()]), r.data());
    }
    std::sort(ranked_.begin(), ranked_.end());
    for (size_t j = 0; j < ranked_.size(); ++j) out[j] = ranked_[j].second;
    return ranked_.size();
  }

  std::vector<double> lat_, lng_;
  MutableS2ShapeIndex index_;
  std::vector<std::string> codes_;
  std::unique_ptr<S2ContainsPointQuery<MutableS2ShapeIndex>> contains_;
  std::unique_ptr<Points> world_, set_;
  std::unordered_map<std::string, std::unique_ptr<Points>> by_country_;
  std::vector<S2ClosestPointQuery<int32_t>::Result> results_;
  std::vector<std::pair<double, int32_t>> ranked_;
};

}  // namespace

std::unique_ptr<Peer> make_s2(const std::string& dir, const std::vector<std::string>& codes) {
  return std::make_unique<S2Peer>(dir, codes);
}

}  // namespace peers
