// The library's only content is its compiled resources; this gives the archive a member.
namespace kavrien_resources {
int anchor = 0;
}
