// The cataloguing module; its forms and routines live beside this file.
namespace glim::cataloguing {}
