// COM status codes (HRESULT) with the values they have on Windows.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

constexpr HRESULT MakeHresult(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);

// DirectShow's own codes.
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204u);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217u);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227u);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHresult(0x8004025Fu);
constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHresult(0x8004023Cu);
constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHresult(0x80040208u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022Au);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
