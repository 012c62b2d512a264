// Gantrix for Node.js: airport and country lookup from compiled-in data.

/** The library's version (the project's VERSION file). */
export declare const version: string;

/** The airport that serves a point: its composite code (`fr.ory`) and label (`Paris, France`). */
export interface Answer {
  readonly code: string;
  readonly name: string;
}

/** Why the library could not answer a point, e.g. `no country found for coordinates`. */
export interface Failure {
  readonly error: string;
}

/** An airport's record. */
export interface Airport {
  code: string;
  iata: string;
  name: string;
  airport_name: string;
  city: string;
  country: string;
  lat: number;
  lng: number;
}

export interface NearbyAirport extends Airport {
  distance_km: number;
}

export interface ResolvedAirport extends NearbyAirport {
  resolution: "nearest" | "same_country" | "nearby_foreign";
  nearest_code: string;
}

/** Points: `[lat, lng]` pairs. Columns are given as two arguments, `lats` and `lngs`. */
export type Points = ReadonlyArray<readonly [number, number] | ArrayLike<number>>;
export type Column = Float64Array | ArrayLike<number>;

export interface FindOptions {
  /** The library's `{ error }` instead of `null` for a point it cannot answer. */
  reason?: boolean;
}

export interface BatchOptions extends FindOptions {
  /** Columns (`airport`, `airport_label`, `reason`; or `country`, `reason`) instead of one
   * array of answers. */
  columns?: boolean;
}

export interface FindColumns {
  airport: (string | null)[];
  airport_label: (string | null)[];
  reason: (string | null)[];
}

export interface CountryColumns {
  country: (string | null)[];
  reason: (string | null)[];
}

/** The airport serving a coordinate, or `null` (with `{ reason: true }`, `{ error }`). */
export declare function find(lat: number, lng: number): Answer | null;
export declare function find(lat: number, lng: number, options: { reason: true }): Answer | Failure;
export declare function find(lat: number, lng: number, options?: FindOptions): Answer | Failure | null;

/** The lower-case code of the country containing a coordinate (`'fr'`), or `null`. */
export declare function countryAt(lat: number, lng: number): string | null;

/** The record of an IATA code (any case, trimmed) or of a composite code `find` answers. */
export declare function airport(code: string): Airport | null;

/** `find` for every point, in order. Points with the same answer share one frozen object. */
export declare function findMany(points: Points, options?: BatchOptions & { columns?: false }): (Answer | Failure | null)[];
export declare function findMany(points: Points, options: BatchOptions & { columns: true }): FindColumns;
export declare function findMany(lats: Column, lngs: Column, options?: BatchOptions & { columns?: false }): (Answer | Failure | null)[];
export declare function findMany(lats: Column, lngs: Column, options: BatchOptions & { columns: true }): FindColumns;

/** `findMany` off the event loop, on the thread pool. */
export declare function findManyAsync(points: Points, options?: BatchOptions & { columns?: false }): Promise<(Answer | Failure | null)[]>;
export declare function findManyAsync(points: Points, options: BatchOptions & { columns: true }): Promise<FindColumns>;
export declare function findManyAsync(lats: Column, lngs: Column, options?: BatchOptions & { columns?: false }): Promise<(Answer | Failure | null)[]>;
export declare function findManyAsync(lats: Column, lngs: Column, options: BatchOptions & { columns: true }): Promise<FindColumns>;

/** `countryAt` for every point, in order. */
export declare function countryAtMany(points: Points, options?: { columns?: false }): (string | null)[];
export declare function countryAtMany(points: Points, options: { columns: true }): CountryColumns;
export declare function countryAtMany(lats: Column, lngs: Column, options?: { columns?: false }): (string | null)[];
export declare function countryAtMany(lats: Column, lngs: Column, options: { columns: true }): CountryColumns;

/** `countryAtMany` off the event loop, on the thread pool. */
export declare function countryAtManyAsync(points: Points, options?: { columns?: false }): Promise<(string | null)[]>;
export declare function countryAtManyAsync(points: Points, options: { columns: true }): Promise<CountryColumns>;
export declare function countryAtManyAsync(lats: Column, lngs: Column, options?: { columns?: false }): Promise<(string | null)[]>;
export declare function countryAtManyAsync(lats: Column, lngs: Column, options: { columns: true }): Promise<CountryColumns>;

export interface NearestOptions {
  /** At most this many members (default 5). */
  limit?: number;
  /** Only members in this country (two letters, any case). */
  country?: string;
  /** Only members within this many km. */
  maxKm?: number;
}

/** A set of airports named by IATA codes. Freed by `close()`, or when garbage-collected. */
export declare class AirportSet {
  constructor(codes: Iterable<string>);
  /** The number of distinct member airports. */
  readonly size: number;
  /** The codes that named no airport, normalised (trimmed, upper case). */
  readonly missing: string[];
  has(code: string): boolean;
  /** Members nearest to the point first, each with `distance_km`. */
  nearest(lat: number, lng: number, options?: NearestOptions): NearbyAirport[];
  /** The member that serves the point, or `null`. */
  resolve(lat: number, lng: number, options?: { foreignMaxKm?: number }): ResolvedAirport | null;
  close(): void;
}
