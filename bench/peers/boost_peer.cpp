// Boost.Geometry: an rtree of country envelopes with covered_by on the outlines (planar in
// longitude and latitude, as the outlines are drawn), and rtrees of airports as unit vectors,
// where the nearest by chord is the nearest by great circle; results are then ranked by
// haversine distance, ties to the smaller id.
#include <algorithm>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <iterator>

#include "peer_data.h"

namespace peers {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using P2 = bg::model::d2::point_xy<double>;
using Box2 = bg::model::box<P2>;
using Poly = bg::model::polygon<P2>;
using MPoly = bg::model::multi_polygon<Poly>;
using P3 = bg::model::point<double, 3, bg::cs::cartesian>;
using Tree2 = bgi::rtree<std::pair<Box2, int32_t>, bgi::rstar<16>>;
using Tree3 = bgi::rtree<std::pair<P3, int32_t>, bgi::rstar<16>>;

P3 unit(double lat, double lng) {
  constexpr double d = 0.017453292519943295;
  const double c = std::cos(lat * d);
  return {c * std::cos(lng * d), c * std::sin(lng * d), std::sin(lat * d)};
}

class BoostPeer final : public Peer {
 public:
  BoostPeer(const std::string& dir, const std::vector<std::string>& set_codes) {
    const PeerData d = load(dir);
    lat_ = d.lat;
    lng_ = d.lng;
    std::vector<std::pair<Box2, int32_t>> boxes;
    for (const Feature& f : d.features) {
      MPoly mp;
      for (const auto& rings : f.polygons) {
        Poly p;
        for (size_t r = 0; r < rings.size(); ++r) {
          auto& ring = r == 0 ? p.outer() : p.inners().emplace_back();
          for (size_t j = 0; j < rings[r].x.size(); ++j)
            ring.emplace_back(rings[r].x[j], rings[r].y[j]);
        }
        mp.push_back(std::move(p));
      }
      bg::correct(mp);  // orientation and closure as Boost expects them
      boxes.emplace_back(bg::return_envelope<Box2>(mp), static_cast<int32_t>(shapes_.size()));
      shapes_.push_back(std::move(mp));
      codes_.push_back(f.code);
    }
    countries_ = Tree2(boxes.begin(), boxes.end());
    world_ = tree_of(d.by_country.empty() ? std::vector<int32_t>() : all_ids(d));
    for (const auto& [code, ids] : d.by_country) by_country_.emplace(code, tree_of(ids));
    set_ = tree_of(set_ids(d, set_codes));
  }

  std::string_view country(double lat, double lng) override {
    const P2 pt(lng, lat);
    cand_.clear();
    countries_.query(bgi::intersects(pt), std::back_inserter(cand_));
    for (const auto& e : cand_) {
      if (bg::covered_by(pt, shapes_[e.second])) return codes_[e.second];
    }
    return {};
  }
  int32_t nearest(double lat, double lng) override {
    int32_t id = -1;
    knn(world_, lat, lng, 1, &id);
    return id;
  }
  int32_t nearest_in(const std::string& code, double lat, double lng) override {
    const auto it = by_country_.find(code);
    int32_t id = -1;
    if (it != by_country_.end()) knn(it->second, lat, lng, 1, &id);
    return id;
  }
  size_t set_nearest5(double lat, double lng, int32_t* out) override {
    return knn(set_, lat, lng, 5, out);
  }

 private:
  Tree3 tree_of(const std::vector<int32_t>& ids) const {
    std::vector<std::pair<P3, int32_t>> v;
    for (const int32_t id : ids) v.emplace_back(unit(lat_[id], lng_[id]), id);
    return Tree3(v.begin(), v.end());
  }
  static std::vector<int32_t> all_ids(const PeerData& d) {
    std::vector<int32_t> ids(d.lat.size());
    for (size_t j = 0; j < ids.size(); ++j) ids[j] = static_cast<int32_t>(j);
    return ids;
  }
  size_t knn(const Tree3& t, double lat, double lng, size_t k, int32_t* out) {
    hits_.clear();
    t.query(bgi::nearest(unit(lat, lng), static_cast<unsigned>(k)), std::back_inserter(hits_));
    ranked_.clear();
    for (const auto& h : hits_) {
      ranked_.emplace_back(haversine_km(lat, lng, lat_[h.second], lng_[h.second]), h.second);
    }
    std::sort(ranked_.begin(), ranked_.end());
    for (size_t j = 0; j < ranked_.size(); ++j) out[j] = ranked_[j].second;
    return ranked_.size();
  }

  std::vector<double> lat_, lng_;
  std::vector<MPoly> shapes_;
  std::vector<std::string> codes_;
  Tree2 countries_;
  Tree3 world_, set_;
  std::unordered_map<std::string, Tree3> by_country_;
  std::vector<std::pair<Box2, int32_t>> cand_;
  std::vector<std::pair<P3, int32_t>> hits_;
  std::vector<std::pair<double, int32_t>> ranked_;
};

}  // namespace

std::unique_ptr<Peer> make_boost(const std::string& dir, const std::vector<std::string>& codes) {
  return std::make_unique<BoostPeer>(dir, codes);
}

}  // namespace peers
