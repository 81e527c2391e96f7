#pragma once
// The decay data sets of an ENSDF file, record by record: what the converter
// reads of the identification, P, N, PN, L, B, E, A and G records and their
// continuations. Nothing is interpreted here beyond the number forms.
#include <string>
#include <string_view>
#include <vector>

#include "ensdf/records.hpp"

namespace tcsum::ensdf {

struct GammaRecord {
  int line = 0;
  Quantity energy;          // E, DE
  Quantity ri;              // RI, DRI
  Quantity cc;              // CC, DCC
  Quantity ti;              // TI, DTI
  char flag = ' ';          // column 77: '*', '&', '@' mark a multiply placed gamma
  char qualifier = ' ';     // column 80: '?' uncertain, 'S' expected but not seen
  std::vector<Item> items;  // from the continuation records

  // The continuation item KEY, exactly; nullptr when absent.
  const Item* item(std::string_view key) const;
};

// A B, E or A record: feeding of the level it follows.
struct FeedRecord {
  int line = 0;
  char type = ' ';
  Quantity ib;  // B: IB; E: IB (beta plus)
  Quantity ie;  // E: IE (electron capture)
  Quantity ti;  // E: TI
  Quantity ia;  // A: IA
  std::vector<Item> items;

  const Item* item(std::string_view key) const;
};

struct LevelRecord {
  int line = 0;
  Quantity energy;
  std::string halfLife;  // columns 40-49, trimmed
  std::vector<FeedRecord> feeds;
  std::vector<GammaRecord> gammas;
};

struct ParentRecord {
  int line = 0;
  std::string nucid;  // columns 1-5
  Quantity energy;    // parent level energy (0 for a ground state)
  std::string halfLife;
};

struct NormRecord {
  int line = 0;
  Quantity nr, nt, br, nb;
};

struct ProductionNormRecord {
  int line = 0;
  Quantity nrbr, ntbr, nbbr;
};

struct DataSet {
  std::string file;
  int line = 0;       // of the identification record
  std::string nucid;  // the daughter, columns 1-5 of the identification record
  std::string dsid;   // columns 10-39, trimmed
  std::vector<ParentRecord> parents;
  std::vector<NormRecord> norms;
  std::vector<ProductionNormRecord> productionNorms;
  std::vector<LevelRecord> levels;
  std::vector<GammaRecord> unplaced;  // G records before the first L record
  int feedsBeforeLevels = 0;          // B, E, A records before the first L record

  // The decay token of the DSID: "B-", "EC", "B+", "IT", "A", "SF" ...
  std::string decayToken() const;
};

// True when DSID names a decay data set ("... DECAY ...").
bool isDecayDsid(std::string_view dsid);

// Every decay data set of CONTENT, the text of the ENSDF file FILE. Other
// data sets (adopted levels, reactions) are passed over. A data set ends at
// a blank record or at the next identification record.
std::vector<DataSet> readDataSets(std::string_view content, const std::string& file);

}  // namespace tcsum::ensdf
